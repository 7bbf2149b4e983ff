#pragma once

#include <QString>

#include <string>

// Shared by the fuzz targets.
namespace FuzzSupport {

// Ends the run with a readable message when an invariant does not hold; libFuzzer then saves
// the input that broke it.
void require(bool holds, const char *invariant);
void require(bool holds, const char *invariant, const char *detail);
void require(bool holds, const char *invariant, const std::string &detail);
void require(bool holds, const char *invariant, const QString &detail);

} // namespace FuzzSupport
