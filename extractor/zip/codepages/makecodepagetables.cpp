// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
//
// Writes the C++ source of the code page tables pkunzip decodes member names
// with, as the system's iconv maps each byte and byte pair, so that no table
// is typed by hand and pkunzip loads no converter when it runs.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iconv.h>
#include <optional>
#include <string>
#include <vector>

namespace {

// The code point that iconv makes of the bytes: nothing when they are not a
// character of the code page, or not one character of the Basic
// Multilingual Plane alone.
class Converter
{
public:
    explicit Converter(const char *codePage) : handle_(iconv_open("UTF-32LE", codePage))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            std::fprintf(stderr, "makecodepagetables: iconv knows no %s\n", codePage);
            std::exit(1);
        }
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    std::optional<char16_t> codeOf(std::string bytes)
    {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        unsigned char out[16];
        char *in = bytes.data();
        size_t inLeft = bytes.size();
        auto *next = reinterpret_cast<char *>(out);
        size_t outLeft = sizeof out;
        if (iconv(handle_, &in, &inLeft, &next, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0 || sizeof out - outLeft != 4)
            return std::nullopt;
        const unsigned long code = out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
        if (code == 0 || code > 0xFFFF)
            return std::nullopt;
        return static_cast<char16_t>(code);
    }

private:
    iconv_t handle_;
};

// A byte or pair beyond ASCII that a converter made ASCII of is left out, so
// that decoding never makes a separator, a dot or a NUL the name's bytes did
// not hold as such.
char16_t beyondAscii(std::optional<char16_t> code)
{
    return code.value_or(0) >= 0x80 ? *code : 0;
}

constexpr int firstTrail = 0x40;
constexpr int trailCount = 0xFD - firstTrail;

void writeCodes(std::ofstream &out, const std::vector<char16_t> &codes)
{
    for (size_t i = 0; i < codes.size(); ++i) {
        char code[10];
        std::snprintf(code, sizeof code, "0x%04X,", static_cast<unsigned>(codes[i]));
        out << (i % 12 == 0 ? "\n    " : " ") << code;
    }
    out << "\n";
}

// The lower half must be ASCII: the decoder takes those bytes as they are.
void requireAsciiLowerHalf(Converter &converter, const char *codePage)
{
    for (int byte = 1; byte < 0x80; ++byte)
        if (converter.codeOf(std::string(1, static_cast<char>(byte))) != byte) {
            std::fprintf(stderr, "makecodepagetables: %s is not ASCII at 0x%02X\n", codePage, byte);
            std::exit(1);
        }
}

std::vector<char16_t> upperHalf(Converter &converter)
{
    std::vector<char16_t> codes;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        codes.push_back(beyondAscii(converter.codeOf(std::string(1, static_cast<char>(byte)))));
    return codes;
}

void writeSingleByte(std::ofstream &out, const char *codePage, const char *table)
{
    Converter converter(codePage);
    requireAsciiLowerHalf(converter, codePage);
    out << "const char16_t " << table << "[128] = {";
    writeCodes(out, upperHalf(converter));
    out << "};\n\n";
}

// Shift-JIS as Windows extends it: a byte alone, or a lead byte and a trail
// byte from 0x40 to 0xFC. Only the rows of lead bytes that begin a character
// are written, and an index says which row a lead byte has.
void writeCp932(std::ofstream &out)
{
    Converter converter("CP932");
    requireAsciiLowerHalf(converter, "CP932");
    out << "const char16_t cp932Single[128] = {";
    writeCodes(out, upperHalf(converter));
    out << "};\n\n";
    std::vector<unsigned> rowOf(128, 0);
    std::vector<char16_t> rows;
    unsigned rowCount = 0;
    for (int lead = 0x81; lead <= 0xFF; ++lead) {
        std::vector<char16_t> row;
        bool any = false;
        for (int trail = firstTrail; trail < firstTrail + trailCount; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            row.push_back(beyondAscii(converter.codeOf(pair)));
            any = any || row.back() != 0;
        }
        if (!any)
            continue;
        rowOf[static_cast<size_t>(lead - 0x80)] = ++rowCount;
        rows.insert(rows.end(), row.begin(), row.end());
    }
    out << "const unsigned char cp932RowOf[128] = {";
    for (size_t i = 0; i < rowOf.size(); ++i)
        out << (i % 16 == 0 ? "\n    " : " ") << rowOf[i] << ",";
    out << "\n};\n\n";
    out << "const char16_t cp932Rows[][" << trailCount << "] = {\n    {},";
    for (size_t at = 0; at < rows.size(); at += trailCount) {
        out << "\n    {";
        writeCodes(out, std::vector<char16_t>(rows.begin() + static_cast<long>(at),
                                              rows.begin() + static_cast<long>(at + trailCount)));
        out << "    },";
    }
    out << "\n};\n\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: makecodepagetables OUTPUT.cpp\n");
        return 2;
    }
    std::ofstream out(argv[1]);
    out << "// Written by makecodepagetables from the system's iconv: do not edit.\n"
           "#include \"zip/codepages/codepagetables.h\"\n\n"
           "namespace codePageTables {\n\n";
    writeSingleByte(out, "IBM437", "cp437High");
    writeSingleByte(out, "IBM866", "cp866High");
    writeCp932(out);
    out << "} // namespace codePageTables\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "makecodepagetables: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
