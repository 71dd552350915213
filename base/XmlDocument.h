#pragma once
// Xerces-C DOM parsing with the settings every reader of the system's XML files shares, made
// safe for hostile files: no external entity or DTD is fetched, entity expansion is bounded,
// and no parser error escapes as an exception.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <xercesc/dom/DOM.hpp>

// One reference on the Xerces platform. Xerces counts Initialize calls, so every owner holds
// its own and the platform ends with the last one.
class XmlPlatform {
  public:
    XmlPlatform();
    ~XmlPlatform();
    XmlPlatform(const XmlPlatform&) = delete;
    XmlPlatform& operator=(const XmlPlatform&) = delete;
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

  private:
    bool ok_ = false;
    std::string error_;
};

struct XmlParseOptions {
    // false: entity references are expanded in place instead of kept as nodes.
    bool createEntityReferenceNodes = true;
    // Remember the line of every element's start tag, for XmlLineOf.
    bool recordLines = false;
    // ParseFile refuses a larger file.
    size_t maxBytes = kDefaultMaxBytes;
    static constexpr size_t kDefaultMaxBytes = size_t(16) * 1024 * 1024;
};

class XmlDocument {
  public:
    // Parses the file at path (backslashes allowed) with validation scheme "auto", namespaces,
    // schema processing and full schema checking off. Null, with a reason in error, when the
    // file is missing, not a regular file, larger than options.maxBytes or not well-formed.
    // Needs a live XmlPlatform.
    static std::unique_ptr<XmlDocument> ParseFile(const std::string& path, std::string* error,
                                                  const XmlParseOptions& options = {});
    // Same for bytes in memory.
    static std::unique_ptr<XmlDocument> ParseMemory(const std::string& bytes, std::string* error,
                                                    const XmlParseOptions& options = {});
    ~XmlDocument();

    // The document element, or null.
    xercesc::DOMElement* Root() const;

    struct Impl;

  private:
    XmlDocument() = default;
    std::unique_ptr<Impl> impl_;
};

// Line of an element's start tag (from 1) in a document parsed with recordLines; 0 otherwise.
int XmlLineOf(const xercesc::DOMNode* node);

// Xerces text (UTF-16) to wide and to 8-bit (UTF-8) text; null gives empty.
std::wstring XmlToWide(const XMLCh* text);
std::string XmlToNarrow(const XMLCh* text);
// 8-bit text to Xerces text.
std::u16string NarrowToXml(const std::string& text);
// Wide text to Xerces text.
std::u16string WideToXml(std::wstring_view text);

// The text of node and all its descendants, in document order. Unlike getTextContent it does
// not recurse, so a deeply nested hostile file cannot exhaust the stack.
std::wstring XmlTextContent(const xercesc::DOMNode* node);

// First descendant element of parent with that tag name, in document order, or null.
xercesc::DOMElement* FirstElementByTag(const xercesc::DOMElement* parent, const char* tag);
