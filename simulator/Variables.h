// The variables of one simulated object: numbers kept with the unit they were set in, and texts; and the
// codec between an object's variables and the records of a data definition.
#pragma once

#include "platform/simconnect/SimConnect.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simulator {

using Bytes = std::vector<uint8_t>;

// Variable and unit names compare without regard to case.
std::string Upper(std::string_view text);

// value in unit `from` expressed in unit `to`, when both are units of one kind (angles, lengths, speeds);
// otherwise the value unchanged.
double ConvertUnit(double value, std::string_view from, std::string_view to);

class Variables {
public:
    void SetNumber(std::string_view name, std::string_view unit, double value);
    void SetText(std::string_view name, std::string_view text);
    // The number in the asked unit; nullopt when never set (or set as text).
    std::optional<double> Number(std::string_view name, std::string_view unit) const;
    std::optional<std::string> Text(std::string_view name) const;
    bool Has(std::string_view name) const { return values_.count(name) != 0; }

private:
    // Orders names without regard to case, and finds them by any text without making a copy.
    struct NameLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    struct Value {
        bool isText = false;
        double number = 0;
        std::string unit;
        std::string text;
    };
    // A value is changed in place: once a variable exists, setting it again allocates nothing.
    std::map<std::string, Value, NameLess> values_;
};

struct Field {
    std::string name;  // as given
    std::string unit;
    DWORD type = SIMCONNECT_DATATYPE_FLOAT64;
};

// Bytes a field takes in a record; 0 for STRINGV (variable) and unknown types.
size_t FieldSize(DWORD type);
bool IsTextType(DWORD type);

// The record of the fields, read from the variables (unset ones read as 0 or "").
Bytes EncodeRecord(const Variables& vars, const std::vector<Field>& fields);
// The bytes one record of the fields takes, or nullopt when the record is short or a variable-length
// text is not terminated.
std::optional<size_t> RecordLength(const std::vector<Field>& fields, const uint8_t* data, size_t size);
// Sets the variables from one record; returns the bytes used, or nullopt when the record is short or a
// variable-length text is not terminated (the fields before the fault are set then).
std::optional<size_t> DecodeRecord(Variables& vars, const std::vector<Field>& fields, const uint8_t* data,
                                   size_t size);
// Appends the values of one record as "NAME = 1.5, OTHER = 'text'" (as far as the record reaches).
void AppendRecordText(std::string& out, const std::vector<Field>& fields, const uint8_t* data, size_t size);

}  // namespace simulator
