#pragma once

#include "Signing.h"

#include <optional>
#include <string>
#include <vector>

// The field sets of the gateway methods and the value checks that do not need the store.
class FieldRules
{
public:
    struct MethodFields
    {
        std::string method;
        std::vector<std::string> required;
        std::vector<std::string> optional;
    };

    // The fields a method signs; nullptr for a method the gateway does not know.
    static const MethodFields *methodFields(const std::string &method);

    // nullopt when `fields` holds every required name, otherwise only optional names, and no
    // name twice; else the refusal message naming the offending field.
    static std::optional<std::string> checkFieldSet(const Fields &fields,
        const std::vector<std::string> &required, const std::vector<std::string> &optional);

    // The value of `name` in `fields` (the first one), or nullopt.
    static std::optional<std::string> value(const Fields &fields, const std::string &name);

    // A plain non-negative integer of minor units: digits only, no leading zero (except "0"),
    // at most 15 digits. "1e+06", "12.5", "-1", " 1" and "" are not.
    static bool isPlainMinorUnits(const std::string &text);
    static std::optional<long long> minorUnits(const std::string &text);

    // A positive decimal integer without sign or leading zero, at most `maxValue`.
    static std::optional<long long> positiveInteger(const std::string &text, long long maxValue);

    // yyyyMMddHHmmss with a plausible month, day, hour, minute and second.
    static bool isDateTime14(const std::string &text);
    // yyyyMMdd with a plausible month and day.
    static bool isDate8(const std::string &text);

    // Non-empty, at most 64 characters, printable ASCII only.
    static bool isNonce(const std::string &text);
};
