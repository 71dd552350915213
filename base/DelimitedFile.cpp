#include "base/DelimitedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <memory>

#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Paths.h"

const char* const kDelimitedFileErrors[12] = {
    "ERROR 0000: UNKNOWN ERROR",
    "ERROR 0001: An unknown error occurred in GetString()!",
    "ERROR 0002: An unknown error occurred in GetData()!",
    "ERROR 0003: GetString() was called while the dwReadFlags was not READ_AS_STRING.",
    "ERROR 0004: GetData() was called while the dwReadFlags was not RF_READ_AS_DOUBLE.",
    "ERROR 0005: Variable name not found!",
    "ERROR 0006: Filename name not found!",
    "ERROR 0007: File not found!",
    "ERROR 0008: The Number of Headers is different than the Number of Data Columns!",
    "ERROR 0009: A field is longer than 1023 characters!",
    "ERROR 0010: The header line does not end with a line feed!",
    "ERROR 0011: The header line names too many columns!",
};

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// Bytes of a file as text mode gives them: a carriage return before a line feed is dropped.
class TextReader {
  public:
    explicit TextReader(FILE* f) : file_(f) {}

    int Get() {
        int c = pending_ >= -1 ? pending_ : Raw();
        pending_ = -2;
        if (c == '\r') {
            int next = Raw();
            if (next == '\n')
                c = '\n';
            else
                pending_ = next;
        }
        if (c == '\n')
            ++line_;
        return c;
    }
    long Line() const { return line_; }

  private:
    int Raw() {
        if (pos_ == len_) {
            len_ = std::fread(buffer_, 1, sizeof buffer_, file_);
            pos_ = 0;
            if (len_ == 0)
                return EOF;
        }
        return buffer_[pos_++];
    }

    FILE* file_;
    unsigned char buffer_[65536];
    size_t pos_ = 0;
    size_t len_ = 0;
    int pending_ = -2;  // -2: nothing held back
    long line_ = 1;
};

enum class FieldEnd { Stop, EndOfFile, TooLong };

// Reads up to the stop character (consumed, not stored) or the end of the file.
FieldEnd ReadField(TextReader& in, char stop, std::string& field) {
    field.clear();
    for (;;) {
        int c = in.Get();
        if (c == EOF)
            return FieldEnd::EndOfFile;
        if (c == static_cast<unsigned char>(stop))
            return FieldEnd::Stop;
        if (field.size() == CDelimitedFile::kFieldMax)
            return FieldEnd::TooLong;
        field.push_back(static_cast<char>(c));
    }
}

// Decimal conversion that does not depend on the locale; text that is not a number gives 0.
double ToDouble(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    if (p < end && *p == '+')
        ++p;
    double v = 0;
    auto result = std::from_chars(p, end, v);
    return result.ec == std::errc() ? v : 0.0;
}

}  // namespace

CDelimitedFile::CDelimitedFile(uint32_t readFlags) : dwReadFlags(readFlags) {}

CDelimitedFile::~CDelimitedFile() = default;

void CDelimitedFile::SetDelimiter(std::string_view delimiter) {
    if (!delimiter.empty())
        delimiter_ = std::string(delimiter);
}

void CDelimitedFile::Clear() {
    headers_.clear();
    columnFiles_.clear();
    numberColumns_.clear();
    textColumns_.clear();
    error_.clear();
}

void CDelimitedFile::DropColumnsFrom(size_t k) {
    if (headers_.size() > k)
        headers_.resize(k);
    if (columnFiles_.size() > k)
        columnFiles_.resize(k);
    if (numberColumns_.size() > k)
        numberColumns_.resize(k);
    if (textColumns_.size() > k)
        textColumns_.resize(k);
}

bool CDelimitedFile::ReadFile(const std::string& fileName, uint32_t readFlags) {
    fileName_ = fileName;
    dwReadFlags = readFlags;
    size_t k = headers_.size();
    try {
        if (ReadBody(fileName))
            return true;
    } catch (const std::exception& e) {
        error_ = e.what();
    } catch (...) {
        error_ = kDelimitedFileErrors[0];
    }
    DropColumnsFrom(k);
    return false;
}

bool CDelimitedFile::ReadBody(const std::string& fileName) {
    // Opened without blocking so that a FIFO is refused, not waited on.
    struct stat st {};
    const int fd = platform::OpenRegularFile(platform::NativePath(fileName), nullptr,
                                             platform::FileLinks::Follow, &st);
    std::unique_ptr<FILE, FileCloser> file(fd >= 0 ? fdopen(fd, "rb") : nullptr);
    if (fd >= 0 && !file)
        close(fd);
    if (!file) {
        error_ = std::string(kDelimitedFileErrors[7]) + "\nDetails: " + fileName;
        return false;
    }
    if (!(dwReadFlags & RF_APPEND_DATA))
        Clear();
    const size_t k = headers_.size();
    const char delim = delimiter_[0];
    auto tooLong = [&](long line) {
        error_ = std::string(kDelimitedFileErrors[9]) + "\nDetails: " + fileName +
                 StrFormat(", line %ld", line);
        return false;
    };

    // Header row: h names, the last one ended by the line feed.
    TextReader in(file.get());
    std::vector<std::string> names(1);
    for (;;) {
        int c = in.Get();
        if (c == EOF) {
            error_ = std::string(kDelimitedFileErrors[10]) + "\nDetails: " + fileName;
            return false;
        }
        if (c == '\n')
            break;
        if (c == static_cast<unsigned char>(delim)) {
            if (k + names.size() >= kColumnMax) {
                error_ = std::string(kDelimitedFileErrors[11]) + "\nDetails: " + fileName;
                return false;
            }
            names.emplace_back();
        } else if (names.back().size() == kFieldMax) {
            return tooLong(1);
        } else {
            names.back().push_back(static_cast<char>(c));
        }
    }
    const size_t h = names.size();
    const bool asDouble = dwReadFlags & RF_READ_AS_DOUBLE;
    const bool asText = !asDouble && (dwReadFlags & READ_AS_STRING);
    // Each field takes at least one byte, so a file cannot fill more rows than this.
    const size_t reserve = std::min(kReserveSize, static_cast<size_t>(st.st_size) / h + 1);
    for (std::string& name : names) {
        headers_.push_back(std::move(name));
        columnFiles_.push_back(fileName);
        numberColumns_.emplace_back();
        textColumns_.emplace_back();
        if (asDouble)
            numberColumns_.back().reserve(reserve);
        else if (asText)
            textColumns_.back().reserve(reserve);
    }

    // Data: groups of h fields; a short row runs on into the next line.
    std::string field;
    for (;;) {
        for (size_t o = 0; o < h; ++o) {
            FieldEnd end = ReadField(in, o + 1 < h ? delim : '\n', field);
            if (end == FieldEnd::TooLong)
                return tooLong(in.Line());
            if (end == FieldEnd::EndOfFile && field.empty())
                return true;
            if (field.empty() || field[0] != '\n') {
                if (asDouble)
                    numberColumns_[k + o].push_back(ToDouble(field));
                else if (asText)
                    textColumns_[k + o].push_back(field);
            }
            if (end == FieldEnd::EndOfFile)
                return true;
        }
    }
}

int CDelimitedFile::FindColumn(const std::string& name) const {
    for (size_t i = 0; i < headers_.size(); ++i) {
        if (headers_[i] == name)
            return static_cast<int>(i);
    }
    return -1;
}

int CDelimitedFile::GetString(const std::string& name, long row, std::string& out) {
    try {
        int column = FindColumn(name);
        if (column < 0) {
            error_ = kDelimitedFileErrors[5];
            return -1;
        }
        if (!(dwReadFlags & READ_AS_STRING)) {
            error_ = kDelimitedFileErrors[3];
            return -1;
        }
        if (static_cast<size_t>(column) >= textColumns_.size() || row < 0 ||
            static_cast<size_t>(row) >= textColumns_[column].size()) {
            error_ = kInvalidSubscript;
            return -1;
        }
        out = textColumns_[column][row];
        return static_cast<int>(out.size());
    } catch (...) {
        error_ = kDelimitedFileErrors[1];
        return -1;
    }
}

double CDelimitedFile::GetData(const std::string& name, long row) {
    try {
        int column = FindColumn(name);
        if (column < 0) {
            error_ = kDelimitedFileErrors[5];
            return 0;
        }
        if (!(dwReadFlags & RF_READ_AS_DOUBLE)) {
            error_ = kDelimitedFileErrors[4];
            return 0;
        }
        if (static_cast<size_t>(column) >= numberColumns_.size() || row < 0 ||
            static_cast<size_t>(row) >= numberColumns_[column].size()) {
            error_ = kInvalidSubscript;
            return 0;
        }
        return numberColumns_[column][row];
    } catch (...) {
        error_ = kDelimitedFileErrors[2];
        return 0;
    }
}

int CDelimitedFile::GetColumnsOfFile(const std::string& fileName,
                                     std::vector<std::string>& headers) {
    headers.clear();
    for (size_t i = 0; i < columnFiles_.size(); ++i) {
        if (columnFiles_[i] == fileName)
            headers.push_back(headers_[i]);
    }
    if (headers.empty()) {
        error_ = kDelimitedFileErrors[6];
        return -1;
    }
    return static_cast<int>(headers.size());
}

size_t CDelimitedFile::ValueCount(size_t column) const {
    if (column >= headers_.size())
        return 0;
    return dwReadFlags & RF_READ_AS_DOUBLE ? numberColumns_[column].size()
                                           : textColumns_[column].size();
}
