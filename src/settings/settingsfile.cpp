#include "settings/settingsfile.h"

#include "settings/safefile.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstring>

// The two functions below follow Qt 5's INI reader (QConfFileSettingsPrivate::readIniLine and
// QSettingsPrivate::iniUnescapedStringList) step by step, so that an entry is seen exactly
// where and as the reader will see it.
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

struct Line
{
    int start = 0;
    int length = 0;
    int equals = -1; // position of the '=' that ends the key; -1 in a line without one
};

// One logical line from pos on: a comment line is skipped, a line goes on past a line end
// inside quotes or after a backslash, and stops before a ';' outside quotes.
bool nextLine(const QByteArray &data, int &pos, Line &line)
{
    const int size = data.size();
    bool inQuotes = false;
    line.equals = -1;
    line.start = pos;
    while (line.start < size && isSpace(data.at(line.start)))
        ++line.start;
    int i = line.start;
    while (i < size) {
        const char ch = data.at(i++);
        if (ch == '=') {
            if (!inQuotes && line.equals == -1)
                line.equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == line.start + 1) {
                ++line.start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data.at(i++);
                if (i < size) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == line.start + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                line.start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.length = i - line.start;
    return line.length > 0;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The texts of a value: one, or a list where commas stand outside quotes. Bytes outside the
// escapes are taken one by one: a '@' and the ASCII letters after it are single bytes in every
// encoding the reader uses.
QStringList unescapedTexts(const QByteArray &data, int from, int to)
{
    static const char simpleEscapes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"\?\?''\\\\";
    QStringList texts;
    QString text;
    bool quoted = false;
    int i = from;
    const auto skipSpaces = [&] {
        while (i < to && (data.at(i) == ' ' || data.at(i) == '\t'))
            ++i;
    };
    skipSpaces();
    while (i < to) {
        const char ch = data.at(i);
        if (ch == '\\') {
            if (++i >= to)
                break;
            const char code = data.at(i++);
            const char *simple = std::strchr(simpleEscapes, code);
            if (code != '\0' && simple && (simple - simpleEscapes) % 2 == 0) {
                text += QLatin1Char(simple[1]);
            } else if (code == 'x') {
                if (i < to && hexDigit(data.at(i)) >= 0) {
                    uint value = 0;
                    while (i < to && hexDigit(data.at(i)) >= 0)
                        value = value << 4 | uint(hexDigit(data.at(i++)));
                    text += QChar(ushort(value));
                }
            } else if (code >= '0' && code <= '7') {
                uint value = uint(code - '0');
                while (i < to && data.at(i) >= '0' && data.at(i) <= '7')
                    value = value << 3 | uint(data.at(i++) - '0');
                text += QChar(ushort(value));
            } else if (code == '\n' || code == '\r') {
                if (i < to && (data.at(i) == '\n' || data.at(i) == '\r') && data.at(i) != code)
                    ++i;
            }
            // Any other character after a backslash is dropped with it.
        } else if (ch == '"') {
            ++i;
            quoted = !quoted;
            if (!quoted)
                skipSpaces();
        } else if (ch == ',' && !quoted) {
            texts.append(text);
            text.clear();
            ++i;
            skipSpaces();
        } else {
            text += QLatin1Char(ch);
            ++i;
        }
    }
    texts.append(text);
    return texts;
}

// The reader decodes a text that starts with these; one that merely holds them is taken too, so
// that whatever a text starts with in the reader's eyes cannot matter.
bool isBinary(const QString &text)
{
    return text.contains(QLatin1String("@Variant(")) || text.contains(QLatin1String("@DateTime("));
}

} // namespace

int SettingsFile::removeBinaryValues(const QString &path, QString *error)
{
    if (!QFile::exists(path))
        return 0;
    QFile file(path);
    if (!SafeFile::openForReading(file, error))
        return -1;
    const QByteArray data = file.readAll();
    file.close();

    QByteArray kept;
    int removed = 0;
    int copied = 0;
    int pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    Line line;
    while (nextLine(data, pos, line)) {
        // Section headers and lines without a key are never decoded.
        if (data.at(line.start) == '[' || line.equals < 0)
            continue;
        const QStringList texts = unescapedTexts(data, line.equals + 1, line.start + line.length);
        if (std::none_of(texts.cbegin(), texts.cend(), isBinary))
            continue;
        kept += data.mid(copied, line.start - copied);
        copied = line.start + line.length;
        ++removed;
    }
    if (removed == 0)
        return 0;
    kept += data.mid(copied);
    return SafeFile::write(path, kept, error) ? removed : -1;
}
