#pragma once

#include <QString>

// Plays a sound file to its end before returning. The player is $TALLYPORT_PLAYER when set
// (its command line, with the file appended), paplay when a PulseAudio server answers, else
// aplay. The wait is bounded by the sound's length plus a few seconds, so a missing audio
// system never holds a payment up for long.
namespace Voice {

bool playAndWait(const QString &path);
// The sound's length from its WAV header, in milliseconds; 0 when unreadable.
int wavDurationMs(const QString &path);

} // namespace Voice
