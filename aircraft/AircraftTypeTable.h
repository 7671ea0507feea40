// The table of aircraft type designators and their codes: the keys of every docking guidance display's
// stop table, and the type found in an aircraft's model text. Built once; read from the main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>

class AircraftTypeTable {
public:
    AircraftTypeTable();

    // The code of exactly this designator; 0 when the table has none.
    int32_t GetCode(const std::string& designator) const;
    // The first designator, in byte-wise order, that occurs anywhere in the text; "NONE" when none does.
    std::string FindIn(const std::string& text) const;
    const std::map<std::string, int32_t>& GetAll() const { return types_; }

private:
    std::map<std::string, int32_t> types_;
};
