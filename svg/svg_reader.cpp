#include "svg/svg_reader.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <memory>

#include "svg/scan.h"
#include "svg/walker.h"

namespace corvanta::svg {
namespace {

// Largest file read, bytes.
constexpr std::size_t kMaxFileBytes = 64u << 20;

struct FreeContext {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct FreeDocument {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

}  // namespace

design::Reading ReadSvg(std::string_view bytes, const design::Settings& settings) {
    design::Reading reading;
    if (bytes.size() > kMaxFileBytes) {
        reading.error = "the SVG file is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        return reading;
    }
    std::unique_ptr<xmlParserCtxt, FreeContext> parser(xmlNewParserCtxt());
    if (!parser) {
        reading.error = "out of memory starting the XML parser";
        return reading;
    }
    // No network, no external DTD, entities left unexpanded, and the parser's own limits on depth and
    // sizes kept (no XML_PARSE_HUGE).  Errors come back here instead of going to the console.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    std::unique_ptr<xmlDoc, FreeDocument> document(
        xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()), "drawing.svg", nullptr, options));
    if (!document || !parser->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(parser.get());
        std::string message = e && e->message ? std::string(Trim(e->message)) : "malformed XML";
        reading.error = "not a well-formed SVG file: " + message + (e ? " (line " + std::to_string(e->line) + ")" : "");
        return reading;
    }
    return Walker(document.get(), settings).Run();
}

}  // namespace corvanta::svg
