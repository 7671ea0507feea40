#include "simulator/Variables.h"

#include "foundation/Units.h"
#include "platform/simconnect/Wire.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace simulator {

namespace {

struct UnitInfo {
    const char* name;
    int kind;       // 1 angle, 2 length, 3 speed
    double factor;  // value in the kind's base unit = value × factor
};

const UnitInfo kUnits[] = {
    {"RADIANS", 1, 1.0},
    {"RADIAN", 1, 1.0},
    {"DEGREES", 1, units::kRadiansPerDegree},
    {"DEGREE", 1, units::kRadiansPerDegree},
    {"METERS", 2, 1.0},
    {"METER", 2, 1.0},
    {"METRES", 2, 1.0},
    {"FEET", 2, units::kMetresPerFoot},
    {"FOOT", 2, units::kMetresPerFoot},
    {"METER PER SECOND", 3, 1.0},
    {"METERS PER SECOND", 3, 1.0},
    {"FEET PER SECOND", 3, units::kMetresPerFoot},
    {"KNOTS", 3, units::kMetresPerSecondPerKnot},
    {"KNOT", 3, units::kMetresPerSecondPerKnot},
};

// Names are ASCII: only a to z have an upper case.
char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

const UnitInfo* FindUnit(std::string_view unit)
{
    for (const auto& info : kUnits)
        if (EqualNoCase(unit, info.name)) return &info;
    return nullptr;
}

template <typename T>
T ClampToInteger(double v)
{
    if (!std::isfinite(v)) return 0;
    const double lo = static_cast<double>(std::numeric_limits<T>::min());
    const double hi = static_cast<double>(std::numeric_limits<T>::max());
    if (v <= lo) return std::numeric_limits<T>::min();
    if (v >= hi) return std::numeric_limits<T>::max();
    return static_cast<T>(v);
}

void AppendNumber(std::string& out, double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.10g", v);
    out.append(buffer);
}

// Reads one record of the fields and calls number(field, value) or text(field, text) for each value in
// order; returns the bytes used, or nullopt at the first field the record does not hold.
template <typename OnNumber, typename OnText>
std::optional<size_t> ReadRecord(const std::vector<Field>& fields, const uint8_t* data, size_t size, OnNumber number,
                                 OnText text)
{
    size_t pos = 0;
    for (const Field& f : fields) {
        if (IsTextType(f.type)) {
            size_t width = FieldSize(f.type);
            const char* chars = reinterpret_cast<const char*>(data + pos);
            size_t len;
            if (f.type == SIMCONNECT_DATATYPE_STRINGV) {
                const void* nul = std::memchr(chars, 0, size - pos);
                if (!nul) return std::nullopt;
                len = static_cast<size_t>(static_cast<const char*>(nul) - chars);
                width = len + 1;
            } else {
                if (size - pos < width) return std::nullopt;
                len = strnlen(chars, width);
            }
            text(f, std::string_view(chars, len));
            pos += width;
            continue;
        }
        platform::simconnect::Reader r(data + pos, size - pos);
        double v = 0;
        switch (f.type) {
        case SIMCONNECT_DATATYPE_INT32: {
            int32_t i;
            if (!r.I32(i)) return std::nullopt;
            v = i;
            pos += 4;
            break;
        }
        case SIMCONNECT_DATATYPE_INT64: {
            uint64_t i;
            if (!r.U64(i)) return std::nullopt;
            v = static_cast<double>(static_cast<int64_t>(i));
            pos += 8;
            break;
        }
        case SIMCONNECT_DATATYPE_FLOAT32: {
            float x;
            if (!r.F32(x)) return std::nullopt;
            v = x;
            pos += 4;
            break;
        }
        default:
            if (!r.F64(v)) return std::nullopt;
            pos += 8;
            break;
        }
        number(f, v);
    }
    return pos;
}

}  // namespace

bool Variables::NameLess::operator()(std::string_view a, std::string_view b) const
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto y = static_cast<unsigned char>(UpperAscii(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

double ConvertUnit(double value, std::string_view from, std::string_view to)
{
    if (EqualNoCase(from, to)) return value;
    const UnitInfo* a = FindUnit(from);
    const UnitInfo* b = FindUnit(to);
    if (!a || !b || a->kind != b->kind) return value;
    return value * a->factor / b->factor;
}

void Variables::SetNumber(std::string_view name, std::string_view unit, double value)
{
    auto it = values_.find(name);
    if (it == values_.end()) it = values_.emplace(Upper(name), Value()).first;
    Value& v = it->second;
    v.isText = false;
    v.number = value;
    v.unit = unit;
    v.text.clear();
}

void Variables::SetText(std::string_view name, std::string_view text)
{
    auto it = values_.find(name);
    if (it == values_.end()) it = values_.emplace(Upper(name), Value()).first;
    Value& v = it->second;
    v.isText = true;
    v.number = 0;
    v.unit.clear();
    v.text = text;
}

std::optional<double> Variables::Number(std::string_view name, std::string_view unit) const
{
    auto it = values_.find(name);
    if (it == values_.end() || it->second.isText) return std::nullopt;
    return ConvertUnit(it->second.number, it->second.unit, unit);
}

std::optional<std::string> Variables::Text(std::string_view name) const
{
    auto it = values_.find(name);
    if (it == values_.end() || !it->second.isText) return std::nullopt;
    return it->second.text;
}

size_t FieldSize(DWORD type)
{
    switch (type) {
    case SIMCONNECT_DATATYPE_INT32:
    case SIMCONNECT_DATATYPE_FLOAT32: return 4;
    case SIMCONNECT_DATATYPE_INT64:
    case SIMCONNECT_DATATYPE_FLOAT64:
    case SIMCONNECT_DATATYPE_STRING8: return 8;
    case SIMCONNECT_DATATYPE_STRING32: return 32;
    case SIMCONNECT_DATATYPE_STRING64: return 64;
    case SIMCONNECT_DATATYPE_STRING128: return 128;
    case SIMCONNECT_DATATYPE_STRING256: return 256;
    case SIMCONNECT_DATATYPE_STRING260: return 260;
    default: return 0;
    }
}

bool IsTextType(DWORD type)
{
    return type >= SIMCONNECT_DATATYPE_STRING8 && type <= SIMCONNECT_DATATYPE_STRINGV;
}

Bytes EncodeRecord(const Variables& vars, const std::vector<Field>& fields)
{
    platform::simconnect::Writer w;
    for (const Field& f : fields) {
        if (IsTextType(f.type)) {
            const std::string text = vars.Text(f.name).value_or("");
            if (f.type == SIMCONNECT_DATATYPE_STRINGV) {
                const size_t n = strnlen(text.c_str(), text.size());
                w.Raw(text.data(), n);
                w.U8(0);
            } else {
                w.FixedText(text, FieldSize(f.type));
            }
            continue;
        }
        const double v = vars.Number(f.name, f.unit).value_or(0.0);
        switch (f.type) {
        case SIMCONNECT_DATATYPE_INT32: w.I32(ClampToInteger<int32_t>(v)); break;
        case SIMCONNECT_DATATYPE_INT64: w.U64(static_cast<uint64_t>(ClampToInteger<int64_t>(v))); break;
        case SIMCONNECT_DATATYPE_FLOAT32: w.F32(static_cast<float>(v)); break;
        default: w.F64(v); break;
        }
    }
    return w.Take();
}

std::optional<size_t> RecordLength(const std::vector<Field>& fields, const uint8_t* data, size_t size)
{
    return ReadRecord(fields, data, size, [](const Field&, double) {}, [](const Field&, std::string_view) {});
}

std::optional<size_t> DecodeRecord(Variables& vars, const std::vector<Field>& fields, const uint8_t* data,
                                   size_t size)
{
    return ReadRecord(
        fields, data, size, [&](const Field& f, double v) { vars.SetNumber(f.name, f.unit, v); },
        [&](const Field& f, std::string_view text) { vars.SetText(f.name, text); });
}

void AppendRecordText(std::string& out, const std::vector<Field>& fields, const uint8_t* data, size_t size)
{
    bool first = true;
    auto name = [&](const Field& f) {
        if (!first) out.append(", ");
        first = false;
        out.append(f.name);
        out.append(" = ");
    };
    ReadRecord(
        fields, data, size,
        [&](const Field& f, double v) {
            name(f);
            AppendNumber(out, v);
        },
        [&](const Field& f, std::string_view text) {
            name(f);
            out.append("'");
            out.append(text);
            out.append("'");
        });
}

}  // namespace simulator
