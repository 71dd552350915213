#pragma once
// Delimited text tables (the country table above all): read column by column, the header row
// naming the columns, queried by column name and row. Failures end in a stored error text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Read flags.
inline constexpr uint32_t RF_READ_AS_DOUBLE = 1;
inline constexpr uint32_t READ_AS_STRING = 2;
inline constexpr uint32_t RF_APPEND_DATA = 4;

// Error texts, indexed by the number in the message.
extern const char* const kDelimitedFileErrors[12];
// Stored when a column or row index is out of range.
inline constexpr const char kInvalidSubscript[] = "invalid vector<T> subscript";

class CDelimitedFile {
  public:
    // Longest field, in bytes.
    static constexpr size_t kFieldMax = 1023;
    // Room reserved for each new column (never more than the file can fill).
    static constexpr size_t kReserveSize = 65535;
    // Most columns one table holds.
    static constexpr size_t kColumnMax = 65535;

    explicit CDelimitedFile(uint32_t readFlags = READ_AS_STRING);
    ~CDelimitedFile();
    CDelimitedFile(const CDelimitedFile&) = delete;
    CDelimitedFile& operator=(const CDelimitedFile&) = delete;

    // Only the first character is used; an empty text keeps the current delimiter.
    void SetDelimiter(std::string_view delimiter);
    const std::string& Delimiter() const { return delimiter_; }

    // Reads a file with the given flags (which replace the current ones). False, with the
    // error text set, on failure; the columns of a failed read are dropped again.
    bool ReadFile(const std::string& fileName, uint32_t readFlags);

    // The text in the named column at row into out; its length, or -1.
    int GetString(const std::string& name, long row, std::string& out);
    // The number in the named column at row; 0 on failure.
    double GetData(const std::string& name, long row);

    // Headers of the columns that came from fileName; their count, or -1 when none did.
    int GetColumnsOfFile(const std::string& fileName, std::vector<std::string>& headers);

    const std::string& GetErrorText() const { return error_; }
    const std::vector<std::string>& Headers() const { return headers_; }
    const std::vector<std::string>& ColumnFiles() const { return columnFiles_; }
    const std::string& FileName() const { return fileName_; }
    uint32_t ReadFlags() const { return dwReadFlags; }
    // Values held in a column (by index); 0 when out of range.
    size_t ValueCount(size_t column) const;

    // Drops headers, column files and values, and empties the error text.
    void Clear();

  private:
    bool ReadBody(const std::string& fileName);
    int FindColumn(const std::string& name) const;
    void DropColumnsFrom(size_t k);

    std::string delimiter_ = ",";
    uint32_t dwReadFlags;
    std::string fileName_;
    std::string error_;
    std::vector<std::string> headers_;
    std::vector<std::string> columnFiles_;
    // Both lists run parallel to the headers; a column fills only the one of its read.
    std::vector<std::vector<double>> numberColumns_;
    std::vector<std::vector<std::string>> textColumns_;
};
