#pragma once

#include <QMetaType>

#include <string>

// Byte and wide strings travel in the signals between windows and threads.
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::wstring)

namespace MetaTypes {
// Registers the types above for queued connections; call once before any thread starts.
void registerAll();
} // namespace MetaTypes
