#pragma once

#include <QString>

namespace WavFile {

// The sound's length from its WAV header, in milliseconds; 0 when unreadable.
int durationMs(const QString &path);

} // namespace WavFile
