#pragma once

#include <QString>

// Plays a sound file to its end before returning. On Windows through the multimedia command
// strings ("open … alias mysong", "play mysong", "close mysong"); elsewhere the player is
// $TALLYPORT_PLAYER when set (its command line, with the file appended), paplay when a
// PulseAudio server answers, else aplay. The wait is bounded by the sound's length (WavFile)
// plus a few seconds, so a missing audio system never holds a payment up for long.
namespace Voice {

bool playAndWait(const QString &path);

} // namespace Voice
