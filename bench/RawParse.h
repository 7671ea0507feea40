// The yardstick of the start-up read: tinyxml2 parsing the placement files and nothing else, as a
// program that only reads XML would. One document serves every file, so that its memory is kept from file
// to file as the program keeps its own, and every element and attribute is visited, name and value, so
// that the parse pays for the text it would hand over. Main thread only.
#pragma once

#include <tinyxml2.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace bench {

// Visits every element below node and every attribute of theirs; returns a figure made of what it saw,
// so that no visit can be left out by the compiler.
inline uint64_t VisitEverything(const tinyxml2::XMLNode* node)
{
    uint64_t seen = 0;
    std::vector<const tinyxml2::XMLElement*> stack;
    for (const tinyxml2::XMLElement* e = node->FirstChildElement(); e != nullptr; e = e->NextSiblingElement())
        stack.push_back(e);
    while (!stack.empty()) {
        const tinyxml2::XMLElement* element = stack.back();
        stack.pop_back();
        seen += static_cast<unsigned char>(element->Name()[0]);
        for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next())
            seen += static_cast<unsigned char>(a->Name()[0]) + static_cast<unsigned char>(a->Value()[0]);
        for (const tinyxml2::XMLElement* c = element->FirstChildElement(); c != nullptr; c = c->NextSiblingElement())
            stack.push_back(c);
    }
    return seen;
}

// Parses every file into the one document and visits it; false when a file does not parse.
inline bool ParseEverything(tinyxml2::XMLDocument& document, const std::vector<std::filesystem::path>& files,
                            uint64_t& seen)
{
    for (const std::filesystem::path& file : files) {
        if (document.LoadFile(file.c_str()) != tinyxml2::XML_SUCCESS) return false;
        seen += VisitEverything(&document);
    }
    return true;
}

}  // namespace bench
