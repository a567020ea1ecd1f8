// Reading and writing the ".reg" export format of a hive.
//
// Values are written the way regedit exports them: REG_SZ as "text", REG_DWORD as
// dword:xxxxxxxx, REG_BINARY as hex:.., every other type as hex(N):.. with long byte lists
// continued on the next line. A REG_SZ or REG_DWORD whose bytes the short form cannot carry
// exactly (no terminator, an embedded null or line break, another length) is written as
// hex(1): or hex(4): instead, so every stored byte survives a round trip.
//
// The store writes UTF-8. It reads that and what regedit exports on Windows: UTF-16LE after a
// byte-order mark, CR LF line ends, and "\r", "\n" and "\0" escapes in quoted text. Windows'
// regedit reads a file without a byte-order mark in the ANSI code page, so a store file is
// converted to UTF-16LE before it is imported there.
#include <cstdio>
#include <cstring>

#include "platform/posix/reg_store.h"
#include "platform/text.h"

namespace regstore {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

// The escapes are those ReadQuoted undoes: a name read from a file with "\n" in it must not
// be written back as a line break, which would leave a file that no longer parses.
std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\0') {
            out.push_back('\\');
            out.push_back(c == '\r' ? 'r' : c == '\n' ? 'n' : '0');
            continue;
        }
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// The text of a REG_SZ value when the quoted form carries its bytes exactly.
bool PlainText(const std::vector<uint8_t> &data, std::string *text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    std::u16string wide(data.size() / 2, u'\0');
    memcpy(wide.data(), data.data(), data.size());
    if (wide.back() != 0) return false;
    wide.pop_back();
    for (char16_t c : wide) {
        if (c == 0 || c == u'\r' || c == u'\n') return false;
    }
    *text = Utf16ToUtf8(wide);
    return Utf8ToUtf16(*text) == wide;  // unpaired surrogates do not survive UTF-8
}

// Breaks lines where regedit does: once a line holds 77 characters, so that with its "\" it
// stays within 80 columns.
void AppendHex(std::string &line, const std::vector<uint8_t> &data) {
    constexpr size_t kBreakAt = 77;
    size_t width = line.size();
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", data[i]);
        line += byte;
        if (i + 1 == data.size()) break;
        line.push_back(',');
        width += 3;
        if (width >= kBreakAt) {
            line += "\\\n  ";
            width = 2;
        }
    }
}

std::string ValueLine(const Value &v) {
    std::string line = v.name.empty() ? "@=" : Quote(v.name) + "=";
    std::string text;
    if (v.type == REG_SZ && PlainText(v.data, &text)) return line + Quote(text);
    if (v.type == REG_DWORD && v.data.size() == 4) {
        uint32_t n = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | uint32_t(v.data[3]) << 24;
        char buf[20];
        snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf;
    }
    if (v.type == REG_BINARY) {
        line += "hex:";
    } else {
        char buf[24];
        snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
        line += buf;
    }
    AppendHex(line, v.data);
    return line;
}

// Reads a quoted text at s[pos] (which is '"'), unescaping \\, \", \r, \n and \0; any other
// backslash stands for itself. Returns false when the quote is not closed.
bool ReadQuoted(std::string_view s, size_t &pos, std::string *out) {
    static const struct {
        char escaped, meant;
    } kEscapes[] = {{'\\', '\\'}, {'"', '"'}, {'r', '\r'}, {'n', '\n'}, {'0', '\0'}};
    out->clear();
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < s.size()) {
            for (const auto &e : kEscapes) {
                if (s[pos + 1] == e.escaped) {
                    c = e.meant;
                    ++pos;
                    break;
                }
            }
        }
        out->push_back(c);
    }
    return false;
}

// The UTF-16LE bytes of a file after its byte-order mark, as UTF-8 text.
bool DecodeUtf16Le(std::string_view bytes, std::string *out) {
    if (bytes.size() % 2 != 0) return false;
    std::u16string wide(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    *out = Utf16ToUtf8(wide);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t> *out) {
    out->clear();
    std::string compact;
    for (char c : s) {
        if (c != ' ' && c != '\t') compact.push_back(c);
    }
    if (compact.empty()) return true;
    compact.push_back(',');
    for (size_t i = 0; i < compact.size(); i += 3) {
        if (i + 2 >= compact.size() || compact[i + 2] != ',') return false;
        int hi = HexDigit(compact[i]), lo = HexDigit(compact[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(uint8_t(hi << 4 | lo));
    }
    return true;
}

bool ParseData(std::string_view s, Value *v) {
    if (!s.empty() && s[0] == '"') {
        size_t pos = 0;
        std::string text;
        if (!ReadQuoted(s, pos, &text) || pos != s.size()) return false;
        std::u16string wide = Utf8ToUtf16(text);
        wide.push_back(0);
        v->type = REG_SZ;
        v->data.resize(wide.size() * 2);
        memcpy(v->data.data(), wide.data(), v->data.size());
        return true;
    }
    if (s.substr(0, 6) == "dword:") {
        std::string_view digits = s.substr(6);
        if (digits.size() != 8) return false;
        uint32_t n = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            n = n << 4 | uint32_t(d);
        }
        v->type = REG_DWORD;
        v->data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        return true;
    }
    if (s.substr(0, 4) == "hex:") {
        v->type = REG_BINARY;
        return ParseHexBytes(s.substr(4), &v->data);
    }
    if (s.substr(0, 4) == "hex(") {
        size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        uint32_t type = 0;
        for (char c : s.substr(4, close - 4)) {
            int d = HexDigit(c);
            if (d < 0) return false;
            type = type << 4 | uint32_t(d);
        }
        v->type = type;
        return ParseHexBytes(s.substr(close + 2), &v->data);
    }
    return false;
}

// The next logical line: physical lines joined where one ends in "\" inside hex data.
bool NextLine(std::string_view text, size_t &pos, std::string *line, int *lineNo) {
    line->clear();
    if (pos >= text.size()) return false;
    for (;;) {
        size_t end = text.find('\n', pos);
        std::string_view phys =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        ++*lineNo;
        if (!phys.empty() && phys.back() == '\r') phys.remove_suffix(1);
        if (!line->empty()) {
            while (!phys.empty() && (phys.front() == ' ' || phys.front() == '\t'))
                phys.remove_prefix(1);
        }
        line->append(phys);
        bool continued =
            !line->empty() && line->back() == '\\' && line->find("=hex") != std::string::npos;
        if (!continued || pos >= text.size()) return true;
        line->pop_back();
    }
}

}  // namespace

std::string Hive::Serialize() const {
    std::string out(kHeader);
    out += "\n\n";
    for (const auto &[folded, key] : keys_) {
        if (key.path.empty() && key.values.empty()) continue;
        out += "[" + root_ + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
        for (const Value &v : key.values) out += ValueLine(v) + "\n";
        out += "\n";
    }
    return out;
}

DWORD Hive::Parse(std::string_view text, std::string *why) {
    keys_.clear();
    auto fail = [&](int lineNo, const char *what) {
        *why = "line " + std::to_string(lineNo) + ": " + what;
        keys_.clear();
        return DWORD(ERROR_BADDB);
    };
    std::string decoded;
    if (text.substr(0, 2) == "\xFF\xFE") {
        if (!DecodeUtf16Le(text.substr(2), &decoded))
            return fail(1, "UTF-16 text with an odd number of bytes");
        text = decoded;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.empty()) return ERROR_SUCCESS;
    size_t pos = 0;
    int lineNo = 0;
    std::string line;
    NextLine(text, pos, &line, &lineNo);
    if (line != kHeader) return fail(lineNo, "missing \"Windows Registry Editor Version 5.00\"");
    Key *current = nullptr;
    const std::string rootFolded = Fold(root_);
    while (NextLine(text, pos, &line, &lineNo)) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return fail(lineNo, "key line without closing ']'");
            std::string_view full(line);
            full = full.substr(1, full.size() - 2);
            std::string_view rootPart = full.substr(0, full.find('\\'));
            if (Fold(rootPart) != rootFolded) return fail(lineNo, "key outside this root");
            std::string_view rest = full.substr(rootPart.size());
            if (!rest.empty() && NormalizePath(rest).empty()) return fail(lineNo, "empty key name");
            current = Create(NormalizePath(rest), nullptr);
            continue;
        }
        if (current == nullptr) return fail(lineNo, "value before any key");
        Value v;
        size_t p = 0;
        if (line[0] == '@') {
            p = 1;
        } else if (line[0] != '"' || !ReadQuoted(line, p, &v.name)) {
            return fail(lineNo, "malformed value name");
        } else if (v.name.empty()) {
            return fail(lineNo, "empty value name (the default value is written @)");
        }
        if (p >= line.size() || line[p] != '=') return fail(lineNo, "missing '=' after value name");
        if (!ParseData(std::string_view(line).substr(p + 1), &v))
            return fail(lineNo, "malformed value data");
        if (Value *old = current->FindValue(v.name)) {
            *old = std::move(v);
        } else {
            current->values.push_back(std::move(v));
        }
    }
    return ERROR_SUCCESS;
}

}  // namespace regstore
