#include "base/XmlDocument.h"

#include <cstdint>

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/validators/DTD/DTDEntityDecl.hpp>

#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Paths.h"

using namespace xercesc;

// Xerces starts its network accessor, libcurl, in XMLPlatformUtils::Initialize, and with it the
// TLS, SSH and LDAP libraries: 1.7 MB of memory and two milliseconds of every start-up. Nothing
// here reads XML from the network (entity resolution is off in every parser), so these two
// definitions, exported by the program, take the place of libcurl's and do nothing. Should libcurl
// ever be used all the same, it initialises itself on its first use.
extern "C" __attribute__((visibility("default"))) int curl_global_init(long /*flags*/) {
    return 0;
}
extern "C" __attribute__((visibility("default"))) void curl_global_cleanup() {}

XmlPlatform::XmlPlatform() {
    try {
        XMLPlatformUtils::Initialize();
        ok_ = true;
    } catch (const XMLException& e) {
        error_ = XmlToNarrow(e.getMessage());
    } catch (...) {
        error_ = "unknown error";
    }
}

XmlPlatform::~XmlPlatform() {
    if (ok_)
        XMLPlatformUtils::Terminate();
}

namespace {

class CollectingErrorHandler : public ErrorHandler {
  public:
    void warning(const SAXParseException&) override {}
    void error(const SAXParseException& e) override { Record(e); }
    void fatalError(const SAXParseException& e) override { Record(e); }
    void resetErrors() override { message.clear(); }
    bool failed = false;
    std::string message;

  private:
    void Record(const SAXParseException& e) {
        if (!failed) {
            message = StrFormat("line %lu: %s", static_cast<unsigned long>(e.getLineNumber()),
                                XmlToNarrow(e.getMessage()).c_str());
        }
        failed = true;
    }
};

}  // namespace

namespace {

// The expansion limit bounds how many references are expanded, not how long each replacement
// is: a few kilobytes of entity referenced thousands of times would still expand to gigabytes.
// Capping each declared entity bounds the whole expansion to limit x cap characters.
constexpr XMLSize_t kEntityExpansionLimit = 10000;
constexpr XMLSize_t kEntityValueMax = 1024;

struct EntityTooLong {};

const XMLCh kLineKey[] = {u'q', u'v', u'l', u'i', u'n', u'e', 0};

class GuardedDOMParser : public XercesDOMParser {
  public:
    explicit GuardedDOMParser(bool recordLines) : recordLines_(recordLines) {}

    void startElement(const XMLElementDecl& decl, const unsigned int urlId,
                      const XMLCh* const prefix, const RefVectorOf<XMLAttr>& attributes,
                      const XMLSize_t count, const bool isEmpty, const bool isRoot) override {
        // The locator stands at the end of the start tag here.
        XMLFileLoc line = recordLines_ ? getScanner()->getLocator()->getLineNumber() : 0;
        XercesDOMParser::startElement(decl, urlId, prefix, attributes, count, isEmpty, isRoot);
        if (!recordLines_)
            return;
        DOMNode* node = getCurrentNode();
        if (isEmpty && node) {
            // The base leaves a closed empty element current; an element of the same name
            // without a line yet as the last child is the one just read.
            DOMNode* last = node->getLastChild();
            if (last && last->getNodeType() == DOMNode::ELEMENT_NODE &&
                !last->getUserData(kLineKey) &&
                XMLString::equals(last->getNodeName(), decl.getFullName()))
                node = last;
        }
        if (node && node->getNodeType() == DOMNode::ELEMENT_NODE)
            node->setUserData(kLineKey, reinterpret_cast<void*>(static_cast<uintptr_t>(line)),
                              nullptr);
    }

    void entityDecl(const DTDEntityDecl& decl, const bool isPEDecl, const bool isIgnored) override {
        if (decl.getValueLen() > kEntityValueMax)
            throw EntityTooLong{};
        XercesDOMParser::entityDecl(decl, isPEDecl, isIgnored);
    }

  private:
    bool recordLines_;
};

}  // namespace

struct XmlDocument::Impl {
    // Bounds entity expansion (XML bombs).
    SecurityManager security;
    CollectingErrorHandler handler;
    std::unique_ptr<XercesDOMParser> parser;
};

namespace {

std::unique_ptr<XercesDOMParser> MakeParser(SecurityManager* security, ErrorHandler* handler,
                                            const XmlParseOptions& options) {
    std::unique_ptr<XercesDOMParser> parser =
        std::make_unique<GuardedDOMParser>(options.recordLines);
    parser->setValidationScheme(XercesDOMParser::Val_Auto);
    parser->setDoNamespaces(false);
    parser->setDoSchema(false);
    parser->setValidationSchemaFullChecking(false);
    parser->setCreateEntityReferenceNodes(options.createEntityReferenceNodes);
    parser->setLoadExternalDTD(false);
    parser->setDisableDefaultEntityResolution(true);
    parser->setSecurityManager(security);
    parser->setErrorHandler(handler);
    return parser;
}

template <typename ParseFn>
std::unique_ptr<XmlDocument::Impl> Run(const XmlParseOptions& options, std::string* error,
                                       ParseFn parse) {
    auto impl = std::make_unique<XmlDocument::Impl>();
    impl->security.setEntityExpansionLimit(kEntityExpansionLimit);
    try {
        impl->parser = MakeParser(&impl->security, &impl->handler, options);
        parse(*impl->parser);
    } catch (const XMLException& e) {
        if (error)
            *error = XmlToNarrow(e.getMessage());
        return nullptr;
    } catch (const DOMException& e) {
        if (error)
            *error = XmlToNarrow(e.getMessage());
        return nullptr;
    } catch (const EntityTooLong&) {
        if (error)
            *error = "entity value too long";
        return nullptr;
    } catch (const OutOfMemoryException&) {
        if (error)
            *error = "out of memory";
        return nullptr;
    } catch (...) {
        if (error)
            *error = "unexpected parser failure";
        return nullptr;
    }
    if (impl->handler.failed || !impl->parser->getDocument() ||
        !impl->parser->getDocument()->getDocumentElement()) {
        if (error)
            *error = impl->handler.failed ? impl->handler.message : "no document element";
        return nullptr;
    }
    return impl;
}

}  // namespace

std::unique_ptr<XmlDocument> XmlDocument::ParseFile(const std::string& path, std::string* error,
                                                    const XmlParseOptions& options) {
    std::string native = platform::NativePath(path);
    if (native.empty()) {
        if (error)
            *error = "empty path";
        return nullptr;
    }
    // Read first, so that a FIFO or a device at the path is refused and not read for ever.
    std::string bytes, reason;
    if (!platform::ReadRegularFile(native, options.maxBytes, &bytes, &reason)) {
        if (error)
            *error = reason;
        return nullptr;
    }
    return ParseMemory(bytes, error, options);
}

std::unique_ptr<XmlDocument> XmlDocument::ParseMemory(const std::string& bytes, std::string* error,
                                                      const XmlParseOptions& options) {
    auto impl = Run(options, error, [&](XercesDOMParser& p) {
        MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                 "memory");
        p.parse(source);
    });
    if (!impl)
        return nullptr;
    std::unique_ptr<XmlDocument> doc(new XmlDocument);
    doc->impl_ = std::move(impl);
    return doc;
}

XmlDocument::~XmlDocument() = default;

DOMElement* XmlDocument::Root() const {
    DOMDocument* d = impl_ && impl_->parser ? impl_->parser->getDocument() : nullptr;
    return d ? d->getDocumentElement() : nullptr;
}

int XmlLineOf(const DOMNode* node) {
    if (!node)
        return 0;
    auto line = reinterpret_cast<uintptr_t>(node->getUserData(kLineKey));
    return line > static_cast<uintptr_t>(INT32_MAX) ? 0 : static_cast<int>(line);
}

std::wstring XmlToWide(const XMLCh* text) {
    std::wstring out;
    if (!text)
        return out;
    for (const XMLCh* p = text; *p; ++p) {
        char32_t u = *p;
        if (u >= 0xD800 && u <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        out.push_back(static_cast<wchar_t>(u));
    }
    return out;
}

std::string XmlToNarrow(const XMLCh* text) {
    return Narrow(XmlToWide(text));
}

std::u16string WideToXml(std::wstring_view text) {
    std::u16string out;
    for (wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::u16string NarrowToXml(const std::string& text) {
    return WideToXml(Widen(text));
}

std::wstring XmlTextContent(const DOMNode* node) {
    std::basic_string<XMLCh> text;
    const DOMNode* current = node ? node->getFirstChild() : nullptr;
    while (current) {
        const auto type = current->getNodeType();
        if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
            if (const XMLCh* value = current->getNodeValue())
                text.append(value);
        }
        if (const DOMNode* child = current->getFirstChild()) {
            current = child;
            continue;
        }
        while (current && current != node && !current->getNextSibling())
            current = current->getParentNode();
        current = (current && current != node) ? current->getNextSibling() : nullptr;
    }
    return XmlToWide(text.c_str());
}

DOMElement* FirstElementByTag(const DOMElement* parent, const char* tag) {
    if (!parent)
        return nullptr;
    std::u16string name = NarrowToXml(tag);
    DOMNodeList* list = parent->getElementsByTagName(name.c_str());
    if (!list || list->getLength() == 0)
        return nullptr;
    return dynamic_cast<DOMElement*>(list->item(0));
}
