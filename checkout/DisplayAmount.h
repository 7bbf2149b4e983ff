#pragma once

#include <QString>

#include <optional>

// The amount in a text from the floating icon (which passes on what a till sent to its
// customer display): every white space removed, cut at the first escape character, used only
// when it reads as a number other than 0.
namespace DisplayAmount {

std::optional<QString> extract(const QString &text);

} // namespace DisplayAmount
