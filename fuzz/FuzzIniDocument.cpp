// The configuration file: arbitrary bytes decoded as the configuration store decodes the file
// (UTF-8 after a byte-order mark, the local code page otherwise), then one value written into
// it and the written text read again.
//
// Input: the last byte picks the setting written; the value comes first, up to a backslash
// followed by another character (two backslashes stand for one), as libFuzzer's
// FuzzedDataProvider reads a string; the rest is the file.
#include "FuzzSupport.h"

#include "IniDocument.h"
#include "Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using FuzzSupport::require;

namespace {

struct Setting
{
    const char *section;
    const char *key;
};

// Settings the client writes, some of them in another case than the file usually has.
const Setting kSettings[] = {{"USERNAME", "username"}, {"PASSWORD", "password"},
    {"CODEHEAD", "codeHead"}, {"CODEEND", "codeEnd"}, {"adbinfo", "IP"}, {"adbinfo", "com"},
    {"adbinfo", "ConnMode"}, {"GATEWAY_HOST", "gateway_host"}, {"CA_BUNDLE", "ca_bundle"},
    {"CASH_SOFTWARE", "cash_software"}, {"guestshow", "GUESTSHOW"}, {"Username", "USERNAME"}};

// As ConfigStore reads the file.
IniDocument decodeFile(const std::string &bytes)
{
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        return IniDocument(QString::fromUtf8(bytes.data() + 3, static_cast<int>(bytes.size() - 3)));
    return IniDocument(Text::fromLocal(bytes));
}

int lineCount(const QString &text)
{
    return text.count(QLatin1Char('\n'));
}

bool isBelowBlankOrDelete(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// Every control character, C1 and the Unicode line and paragraph separators included, as a
// blank; then trimmed. A written value must read back as `value` with at least the control
// characters below U+0020 and U+007F made blanks; whether the others are kept or made blanks
// too, the two texts agree in this form.
QString blanked(const QString &value)
{
    QString text = value;
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029)
            c = QLatin1Char(' ');
    }
    return text.trimmed();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const Setting &setting
        = kSettings[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSettings) - 1)];
    const QString value = QString::fromStdString(input.ConsumeRandomLengthString(1024));
    const std::string file = input.ConsumeRemainingBytesAsString();

    const QString section = QString::fromLatin1(setting.section);
    const QString key = QString::fromLatin1(setting.key);

    // Reading: every setting can be looked up, and the text written from the document reads
    // back as the same document.
    IniDocument document = decodeFile(file);
    for (const Setting &other : kSettings)
        document.value(QString::fromLatin1(other.section), QString::fromLatin1(other.key));
    const QString before = document.toText();
    require(IniDocument(before).toText() == before, "a written text reads back unchanged", before);

    // Writing one value: it reads back in its stored form, and the text gains no line beyond
    // the entry and, for a new section, its header.
    const bool existed = document.value(section, key).has_value();
    IniDocument probe = document;
    probe.setValue(section, QStringLiteral("fuzz_probe_key"), QStringLiteral("1"));
    const bool sectionExisted = lineCount(probe.toText()) - lineCount(before) < 2;
    document.setValue(section, key, value);
    const QString after = document.toText();
    const IniDocument reread(after);
    const std::optional<QString> readBack = reread.value(section, key);
    require(readBack.has_value(), "a written value is there", after);
    const QString wroteRead = QStringLiteral("wrote [%1] read [%2]").arg(value, *readBack);
    require(std::none_of(readBack->begin(), readBack->end(), isBelowBlankOrDelete),
        "a written value keeps no control character below U+0020 and no U+007F", wroteRead);
    require(*readBack == readBack->trimmed(), "a written value is trimmed", wroteRead);
    require(blanked(*readBack) == blanked(value),
        "a written value reads back with its control characters as blanks", wroteRead);

    const int added = lineCount(after) - lineCount(before);
    if (existed)
        require(added == 0, "replacing a value adds no line", after);
    else if (sectionExisted)
        require(added == 1, "a new value in a section adds its one line", after);
    else
        require(added == 2, "a new section adds its header and the value's line", after);
    require(reread.toText() == after, "the written text reads back unchanged", after);
    return 0;
}
