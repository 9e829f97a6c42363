// Writes the LV2 bundle's description from the parameter table and the program bank:
// manifest.ttl (plug-in, UI, the ten programs as presets), dsp.ttl (ports, features,
// extensions) and ui.ttl. Run by the build after the plug-in's library is linked.
// Usage: dunskara_lv2_turtle <bundle folder> <binary file name> <version>

#include "formats/lv2/Lv2Ports.h"
#include "plugin/ParameterTable.h"
#include "plugin/ProgramBank.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#ifndef DUNSKARA_LV2_URI
 #error "the build defines DUNSKARA_LV2_URI, the plug-in's URI"
#endif

namespace
{
using namespace dunskara::lv2;

const std::string pluginUri = DUNSKARA_LV2_URI;
const std::string uiUri = pluginUri + ":UI";
const char* const bandNames[params::numBands] { "Low", "Mid", "High" };
const char* const bandSymbols[params::numBands] { "low", "mid", "high" };

// Meter ranges; the plug-in limits its meter values to them (Lv2Run.cpp).
constexpr int levelFloorDb = -90, levelCeilingDb = 24, maxReductionDb = 90;

const char* const prefixes =
    "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufs:  <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .\n\n";

// The shortest decimal text that reads back as the same float.
std::string number (float value)
{
    char text[32];
    const auto result = std::to_chars (text, text + sizeof (text), value);
    std::string s (text, result.ptr);
    return s.find_first_of (".e") == std::string::npos ? s + ".0" : s;
}

// A port symbol must be a C identifier: the two unused parameters ("not-used") take
// their host id instead.
std::string symbol (int index)
{
    return (params::row (index).rule == params::Rule::unused ? params::hostId (index) : params::name (index)).toStdString();
}

// "Low attack time", "Input gain", "Unused (33)".
std::string portName (int index)
{
    const auto& row = params::row (index);

    if (row.rule == params::Rule::unused)
        return "Unused (" + std::to_string (index) + ")";

    std::string title = row.title;

    if (index < params::numBands * params::perBand)
        return std::string (bandNames[index / params::perBand]) + " " + title;

    title[0] = static_cast<char> (std::toupper (static_cast<unsigned char> (title[0])));
    return title;
}

std::string manifest (const std::string& binary)
{
    std::ostringstream out;
    out << prefixes
        << "<" << pluginUri << ">\n"
        << "\ta lv2:Plugin ;\n"
        << "\tlv2:binary <" << binary << "> ;\n"
        << "\trdfs:seeAlso <dsp.ttl> .\n\n"
        << "<" << uiUri << ">\n"
        << "\ta ui:X11UI ;\n"
        << "\tlv2:binary <" << binary << "> ;\n"
        << "\trdfs:seeAlso <ui.ttl> .\n\n"
        << "<" << pluginUri << ":Program>\n"
        << "\ta rdf:Property ;\n"
        << "\trdfs:label \"program\" ;\n"
        << "\trdfs:comment \"The index of the program a preset selects, 0 for the first.\" ;\n"
        << "\trdfs:range atom:Int .\n";

    // The programs as presets: selecting one sets every port to the program's initial
    // values and selects the program in the plug-in.
    const ProgramBank bank;

    for (int p = 0; p < params::numPrograms; ++p)
    {
        out << "\n<" << pluginUri << ":preset" << p + 1 << ">\n"
            << "\ta pset:Preset ;\n"
            << "\tlv2:appliesTo <" << pluginUri << "> ;\n"
            << "\trdfs:label \"" << bank.getName (p).toStdString() << "\" ;\n"
            << "\tlv2:port";

        for (int i = 0; i < params::numParameters; ++i)
            out << (i == 0 ? " [\n" : " , [\n")
                << "\t\tlv2:symbol \"" << symbol (i) << "\" ;\n"
                << "\t\tpset:value " << number (bank.getValue (p, i)) << "\n\t]";

        out << " ;\n\tstate:state [\n\t\t<" << pluginUri << ":Program> \"" << p << "\"^^xsd:int\n\t] .\n";
    }

    return out.str();
}

void audioPort (std::ostream& out, uint32_t index, bool input, const char* side)
{
    const char* direction = input ? "in" : "out";
    out << "\t\ta lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n"
        << "\t\tlv2:index " << index << " ;\n"
        << "\t\tlv2:symbol \"audio_" << direction << "_" << (side[0] == 'l' ? 1 : 2) << "\" ;\n"
        << "\t\tlv2:name \"Audio " << (input ? "In " : "Out ") << (side[0] == 'l' ? 1 : 2) << "\" ;\n"
        << "\t\tpg:group <" << pluginUri << ":" << (input ? "input" : "output") << "> ;\n"
        << "\t\tlv2:designation pg:" << side << "\n";
}

void parameterPortEntry (std::ostream& out, int i)
{
    out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << parameterPort (i) << " ;\n"
        << "\t\tlv2:symbol \"" << symbol (i) << "\" ;\n"
        << "\t\tlv2:name \"" << portName (i) << "\" ;\n"
        << "\t\tlv2:default " << number (params::defaultValue (i)) << " ;\n"
        << "\t\tlv2:minimum 0.0 ;\n"
        << "\t\tlv2:maximum 1.0";

    if (params::isSwitch (i))
        out << " ;\n\t\tlv2:portProperty lv2:toggled";
    else if (params::row (i).rule == params::Rule::unused)
        out << " ;\n\t\tlv2:portProperty pprops:notOnGUI";

    out << "\n";
}

void meterPortEntry (std::ostream& out, uint32_t index, const std::string& symbolText, const std::string& name,
                     int minimum, int maximum)
{
    out << "\t\ta lv2:OutputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << index << " ;\n"
        << "\t\tlv2:symbol \"" << symbolText << "\" ;\n"
        << "\t\tlv2:name \"" << name << "\" ;\n"
        << "\t\tlv2:minimum " << minimum << ".0 ;\n"
        << "\t\tlv2:maximum " << maximum << ".0 ;\n"
        << "\t\tunits:unit units:db ;\n"
        << "\t\tlv2:portProperty lv2:connectionOptional\n";
}

std::string dsp (const std::string& version)
{
    std::ostringstream out;
    out << prefixes
        << "<" << pluginUri << ":input>\n\ta pg:StereoGroup , pg:InputGroup ;\n"
        << "\tlv2:symbol \"input\" ;\n\tlv2:name \"Input\" .\n\n"
        << "<" << pluginUri << ":output>\n\ta pg:StereoGroup , pg:OutputGroup ;\n"
        << "\tlv2:symbol \"output\" ;\n\tlv2:name \"Output\" .\n\n"
        << "<" << pluginUri << ">\n"
        << "\ta lv2:Plugin , lv2:CompressorPlugin , doap:Project ;\n"
        << "\tdoap:name \"DUNSKARA\" ;\n"
        << "\tdoap:maintainer [\n\t\ta foaf:Person ;\n\t\tfoaf:name \"Quorvane\"\n\t] ;\n"
        << "\tdoap:release [\n\t\ta doap:Version ;\n\t\tdoap:revision \"" << version << "\"\n\t] ;\n"
        << "\tlv2:minorVersion 0 ;\n"
        << "\tlv2:microVersion 0 ;\n"
        << "\tui:ui <" << uiUri << "> ;\n"
        << "\tlv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
        << "\topts:supportedOption bufs:maxBlockLength ;\n"
        << "\tlv2:extensionData state:interface ;\n"
        << "\tpg:mainInput <" << pluginUri << ":input> ;\n"
        << "\tpg:mainOutput <" << pluginUri << ":output> ;\n"
        << "\tlv2:port [\n";

    audioPort (out, audioInLeft, true, "left");
    out << "\t] , [\n";
    audioPort (out, audioInRight, true, "right");
    out << "\t] , [\n";
    audioPort (out, audioOutLeft, false, "left");
    out << "\t] , [\n";
    audioPort (out, audioOutRight, false, "right");

    for (int i = 0; i < params::numParameters; ++i)
    {
        out << "\t] , [\n";
        parameterPortEntry (out, i);
    }

    for (int b = 0; b < params::numBands; ++b)
    {
        out << "\t] , [\n";
        meterPortEntry (out, bandLevelPort (b), std::string ("level_") + bandSymbols[b],
                        std::string (bandNames[b]) + " level", levelFloorDb, levelCeilingDb);
        out << "\t] , [\n";
        meterPortEntry (out, bandGainReductionPort (b), std::string ("gain_reduction_") + bandSymbols[b],
                        std::string (bandNames[b]) + " gain reduction", 0, maxReductionDb);
    }

    out << "\t] , [\n"
        << "\t\ta lv2:OutputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << latencyPort << " ;\n"
        << "\t\tlv2:symbol \"latency\" ;\n"
        << "\t\tlv2:name \"Latency\" ;\n"
        << "\t\tlv2:designation lv2:latency ;\n"
        << "\t\tlv2:minimum 0 ;\n"
        << "\t\tlv2:maximum 0 ;\n"
        << "\t\tunits:unit units:frame ;\n"
        << "\t\tlv2:portProperty lv2:reportsLatency , lv2:integer , lv2:connectionOptional , pprops:notOnGUI\n"
        << "\t] .\n";

    return out.str();
}

std::string ui (const std::string& binary)
{
    std::ostringstream out;
    out << prefixes
        << "<" << uiUri << ">\n"
        << "\ta ui:X11UI ;\n"
        << "\tlv2:binary <" << binary << "> ;\n"
        << "\tlv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> , ui:idleInterface ;\n"
        << "\tlv2:optionalFeature ui:touch , ui:resize , ui:noUserResize , urid:map , opts:options ;\n"
        << "\tlv2:extensionData ui:idleInterface , ui:resize .\n";
    return out.str();
}

bool writeFile (const std::string& path, const std::string& text)
{
    std::ofstream file (path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();

    if (! file)
        std::cerr << "dunskara_lv2_turtle: cannot write " << path << "\n";

    return static_cast<bool> (file);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 4)
    {
        std::cerr << "usage: dunskara_lv2_turtle <bundle folder> <binary file name> <version>\n";
        return 2;
    }

    const std::string folder = argv[1], binary = argv[2], version = argv[3];
    const bool written = writeFile (folder + "/manifest.ttl", manifest (binary))
                      && writeFile (folder + "/dsp.ttl", dsp (version))
                      && writeFile (folder + "/ui.ttl", ui (binary));
    return written ? 0 : 1;
}
