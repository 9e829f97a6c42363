#include "plugin/ChunkReader.h"

#include <expat.h>

#include <cstring>
#include <memory>

namespace chunk
{
namespace
{
    constexpr juce::uint32 framingMagic = 0x21324356; // "VC2!" as written by copyXmlToBinary

    juce::uint32 readLittleEndian32 (const unsigned char* bytes) noexcept
    {
        return static_cast<juce::uint32> (bytes[0]) | static_cast<juce::uint32> (bytes[1]) << 8
             | static_cast<juce::uint32> (bytes[2]) << 16 | static_cast<juce::uint32> (bytes[3]) << 24;
    }

    // Collects the root element while expat checks the document; the first thing that
    // is not allowed stops the parse for good.
    struct Collector
    {
        XML_Parser parser = nullptr;
        int depth = 0;
        bool refused = false;
        Element element;

        void refuse() noexcept
        {
            refused = true;
            XML_StopParser (parser, XML_FALSE);
        }
    };

    Collector& collectorOf (void* userData) noexcept { return *static_cast<Collector*> (userData); }

    void XMLCALL startElement (void* userData, const XML_Char* name, const XML_Char** attributes)
    {
        auto& c = collectorOf (userData);
        if (c.refused)
            return;
        if (c.depth++ > 0) // a child element: no state chunk has one
            return c.refuse();

        std::size_t count = 0;
        while (attributes[2 * count] != nullptr)
            if (++count > maxAttributes)
                return c.refuse();

        try
        {
            c.element.tag = juce::String::fromUTF8 (name);
            c.element.attributes.reserve (count);
            for (std::size_t i = 0; i < count; ++i)
                c.element.attributes.emplace_back (juce::String::fromUTF8 (attributes[2 * i]),
                                                   juce::String::fromUTF8 (attributes[2 * i + 1]));
        }
        catch (...) // out of memory: no exception may cross expat's C frames
        {
            c.refuse();
        }
    }

    void XMLCALL endElement (void* userData, const XML_Char*)
    {
        --collectorOf (userData).depth;
    }

    void XMLCALL characterData (void* userData, const XML_Char* text, int length)
    {
        auto& c = collectorOf (userData);
        for (int i = 0; i < length && ! c.refused; ++i)
            if (text[i] != ' ' && text[i] != '\t' && text[i] != '\n' && text[i] != '\r')
                c.refuse();
    }

    // No chunk needs a DTD; refusing it keeps entity expansion (and its cost) out.
    void XMLCALL startDoctype (void* userData, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        collectorOf (userData).refuse();
    }

    struct ParserDeleter
    {
        void operator() (XML_ParserStruct* parser) const noexcept { XML_ParserFree (parser); }
    };
} // namespace

std::optional<std::string_view> unwrapText (const void* data, std::size_t size) noexcept
{
    if (data == nullptr || size <= 8)
        return {};

    const auto* bytes = static_cast<const unsigned char*> (data);
    if (readLittleEndian32 (bytes) != framingMagic)
        return {};

    // JUCE reads the length as a signed int and wants it positive.
    const auto declaredLength = readLittleEndian32 (bytes + 4);
    if (declaredLength == 0 || declaredLength > 0x7fffffffu)
        return {};

    // The text and its 0 within the data, the text no longer than the length field says.
    const std::size_t available = std::min<std::size_t> (size - 8, std::size_t { declaredLength } + 1);
    const std::size_t searched = std::min (available, maxTextBytes + 1);
    const auto* text = reinterpret_cast<const char*> (bytes + 8);
    const auto* terminator = static_cast<const char*> (std::memchr (text, 0, searched));
    if (terminator == nullptr || terminator == text)
        return {};

    return std::string_view (text, static_cast<std::size_t> (terminator - text));
}

std::optional<Element> parseElement (std::string_view xml) noexcept
{
    if (xml.empty() || xml.size() > maxTextBytes)
        return {};

    // The encoding given here overrides the document's declaration: chunks are UTF-8.
    const std::unique_ptr<XML_ParserStruct, ParserDeleter> parser (XML_ParserCreate ("UTF-8"));
    if (parser == nullptr)
        return {};

    Collector collector;
    collector.parser = parser.get();
    XML_SetUserData (parser.get(), &collector);
    XML_SetElementHandler (parser.get(), startElement, endElement);
    XML_SetCharacterDataHandler (parser.get(), characterData);
    XML_SetStartDoctypeDeclHandler (parser.get(), startDoctype);
    XML_SetParamEntityParsing (parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    const auto status = XML_Parse (parser.get(), xml.data(), static_cast<int> (xml.size()), XML_TRUE);
    if (status != XML_STATUS_OK || collector.refused || collector.element.tag.isEmpty())
        return {};

    return std::move (collector.element);
}

std::optional<Element> readChunk (const void* data, std::size_t size) noexcept
{
    const auto text = unwrapText (data, size);
    if (! text)
        return {};
    return parseElement (*text);
}
} // namespace chunk
