#include "Signing.h"

#include "Md5.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace Signing {

std::string signString(Fields fields, const std::string &key)
{
    std::stable_sort(fields.begin(), fields.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    std::string text;
    for (const auto &[name, value] : fields) {
        if (!text.empty())
            text += '&';
        text += name;
        text += '=';
        text += value;
    }
    text += "&key=";
    text += key;
    return text;
}

std::string signOf(const std::string &text)
{
    std::string hex = Md5(text).toString();
    std::transform(hex.begin(), hex.end(), hex.begin(),
        [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return hex;
}

std::string sign(const Fields &fields, const std::string &key)
{
    return signOf(signString(fields, key));
}

std::string nonce()
{
    thread_local std::mt19937 generator([] {
        std::random_device device;
        std::seed_seq seed {device(), device(), device(), device()};
        return std::mt19937(seed);
    }());
    std::uniform_int_distribution<int> lengthDraw(16, 31);
    std::uniform_int_distribution<int> digitDraw(0, 9);
    const int length = lengthDraw(generator);
    std::string text;
    text.reserve(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        text += static_cast<char>('0' + digitDraw(generator));
    return text;
}

} // namespace Signing
