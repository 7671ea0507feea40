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
    bool Has(std::string_view name) const { return values_.count(Upper(name)) != 0; }

private:
    struct Value {
        bool isText = false;
        double number = 0;
        std::string unit;
        std::string text;
    };
    std::map<std::string, Value> values_;
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
// Sets the variables from one record; returns the bytes used, or nullopt when the record is short or a
// variable-length text is not terminated.
std::optional<size_t> DecodeRecord(Variables& vars, const std::vector<Field>& fields, const uint8_t* data,
                                   size_t size, std::vector<std::string>* changes = nullptr);

}  // namespace simulator
