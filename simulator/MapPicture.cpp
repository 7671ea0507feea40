#include "simulator/MapPicture.h"

#include "simulator/AircraftDoors.h"
#include "simulator/PlacedNames.h"

#include "foundation/Units.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <fstream>
#include <functional>
#include <optional>

namespace simulator {

namespace {

// The equatorial radius of the earth, for the local projection.
constexpr double kEarthRadiusM = 6378137.0;

// Panel layout, in pixels: a header line, the map, and beside it a column with the close view around the
// user aircraft and the legend.
constexpr double kMapW = 800, kHeaderH = 48, kMapH = 800, kSideW = 320, kGap = 16;
constexpr double kPanelW = kMapW + kSideW, kPanelH = kHeaderH + kMapH;
constexpr double kMarginPx = 40;  // inside the map area, around the drawn things
// The smallest stretch of ground a panel shows, and the room kept around the drawn places (half an
// airliner), in metres.
constexpr double kMinExtentM = 80, kPadM = 25;
// The close view: a square of kCloseM metres around the user aircraft, kClosePx pixels wide.
constexpr double kCloseM = 120, kClosePx = 296;
// A door counts as reached by a jetway when a jetway or one of its parts stands this close to it.
constexpr double kServedM = 3.0;
// A part is drawn joined to the jetway whose title begins its own, when within this distance.
constexpr double kJoinPartM = 80;
constexpr double kLabelPx = 12, kLabelLineH = 14, kLabelCharW = 7;
// Lines above and below its place that a label tries before it goes to the key beside the map.
constexpr int kLabelTries = 60;
// The height of the legend beside the map (its ten lines), where the key starts below it.
constexpr double kLegendH = 10 * 18 + 16;
constexpr size_t kMaxLabelBytes = 48;

// A generic airliner seen from above, nose up: (metres right, metres forward) of its right half, nose to
// tail; the left half mirrors it.
constexpr double kAircraftHalf[][2] = {{0, 19},    {1.3, 18},    {2, 16},    {2, 3},   {17, -4},   {17, -6.5},
                                       {2, -3.5},  {2, -13},     {6.5, -17.5}, {6.5, -19}, {1, -18.5}, {0, -19.5}};
constexpr double kAircraftLengthM = 38.5;
constexpr double kMinAircraftPx = 16;

std::string Num(double v)
{
    if (!std::isfinite(v)) v = 0;
    if (std::fabs(v) < 0.005) v = 0;  // no "-0.00"
    char buffer[48];
    std::snprintf(buffer, sizeof(buffer), "%.2f", v);
    return buffer;
}

std::string Fixed(const char* format, double v)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, std::isfinite(v) ? v : 0.0);
    return buffer;
}

std::string Lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Contains(const std::string& lower, const char* word)
{
    return lower.find(word) != std::string::npos;
}

const char* KindClass(MapKind kind)
{
    switch (kind) {
    case MapKind::UserAircraft: return "user-aircraft";
    case MapKind::AiAircraft: return "ai-aircraft";
    case MapKind::Jetway: return "jetway";
    case MapKind::JetwayPart: return "jetway-part";
    case MapKind::Vdgs: return "vdgs";
    case MapKind::GateNumber: return "gate-number";
    case MapKind::Object: break;
    }
    return "object";
}

// A label cut to a readable length at a character boundary.
std::string ShortLabel(const std::string& title)
{
    if (title.size() <= kMaxLabelBytes) return title;
    size_t cut = kMaxLabelBytes;
    while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80) --cut;
    return title.substr(0, cut) + "...";
}

// Length in characters (UTF-8 lead bytes), for the width of a label.
size_t Characters(const std::string& text)
{
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A place in local metres: east and north of the projection's centre.
struct Local {
    double eastM = 0, northM = 0;
};

class Projection {
public:
    Projection(double latitudeDeg, double longitudeDeg) : lat0_(latitudeDeg), lon0_(longitudeDeg)
    {
        cosLat_ = std::max(1e-6, std::cos(latitudeDeg * units::kRadiansPerDegree));
    }

    Local Project(double latitudeDeg, double longitudeDeg) const
    {
        double dLon = std::fmod(longitudeDeg - lon0_, 360.0);
        if (dLon > 180) dLon -= 360;
        if (dLon < -180) dLon += 360;
        return {dLon * units::kRadiansPerDegree * kEarthRadiusM * cosLat_,
                (latitudeDeg - lat0_) * units::kRadiansPerDegree * kEarthRadiusM};
    }

    Local Project(const MapItem& item) const { return Project(item.latitudeDeg, item.longitudeDeg); }

    // Back from local metres (for the centre of the drawn things).
    std::pair<double, double> Unproject(const Local& p) const
    {
        return {lat0_ + p.northM / kEarthRadiusM * units::kDegreesPerRadian,
                lon0_ + p.eastM / (kEarthRadiusM * cosLat_) * units::kDegreesPerRadian};
    }

private:
    double lat0_, lon0_, cosLat_;
};

bool Placed(const MapItem& item)
{
    return std::isfinite(item.latitudeDeg) && std::isfinite(item.longitudeDeg) && std::fabs(item.latitudeDeg) <= 90;
}

// The largest of 1, 2, 5 times a power of ten metres not above limitM.
double NiceLength(double limitM)
{
    if (!(limitM > 0)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(limitM)));
    for (double step : {5.0, 2.0, 1.0})
        if (step * power <= limitM) return step * power;
    return power;
}

struct Box {
    double x0, y0, x1, y1;
    bool Overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// How local metres land on the picture: pixels per metre, the place at the view's centre and that centre
// in pixels.
struct View {
    double pxPerM = 1, midE = 0, midN = 0, cx = 0, cy = 0;
    double X(const Local& p) const { return cx + (p.eastM - midE) * pxPerM; }
    double Y(const Local& p) const { return cy - (p.northM - midN) * pxPerM; }
};

class Panel {
public:
    Panel(std::string& out, const MapScene& scene, int index, double originX, double originY)
        : out_(out), scene_(scene), prefix_("p" + std::to_string(index) + "-"), ox_(originX), oy_(originY)
    {
    }

    void Draw()
    {
        Select();
        Fit();
        out_ += "<g class=\"panel\" id=\"" + prefix_ + "panel\" transform=\"translate(" + Num(ox_) + " " + Num(oy_) +
                ")\">\n";
        out_ += "<defs>" + Clip("map", 0, kHeaderH, kMapW, kMapH) +
                Clip("close", kMapW + 12, kHeaderH + 28, kClosePx, kClosePx) + "</defs>\n";
        out_ += "<rect class=\"frame\" x=\"0\" y=\"0\" width=\"" + Num(kPanelW) + "\" height=\"" + Num(kPanelH) + "\"/>\n";
        out_ += "<rect class=\"ground\" x=\"0\" y=\"" + Num(kHeaderH) + "\" width=\"" + Num(kMapW) + "\" height=\"" +
                Num(kMapH) + "\"/>\n";
        Header();
        out_ += "<g class=\"map\" clip-path=\"url(#" + prefix_ + "clip-map)\">\n";
        DrawItems(main_, false);
        if (drawn_.empty())
            out_ += "<text class=\"note\" x=\"" + Num(kMapW / 2) + "\" y=\"" + Num(kHeaderH + kMapH / 2) +
                    "\" text-anchor=\"middle\">nothing to draw</text>\n";
        out_ += "</g>\n";
        NorthArrow();
        ScaleBar(main_, 20, kHeaderH + kMapH - 20);
        CloseView();
        Legend(kMapW + 12, kHeaderH + 28 + kClosePx + 40);
        Key(kMapW + 12, kHeaderH + 28 + kClosePx + 40 + kLegendH);
        out_ += "</g>\n";
    }

private:
    std::string Clip(const char* name, double x, double y, double w, double h) const
    {
        return "<clipPath id=\"" + prefix_ + "clip-" + name + "\"><rect x=\"" + Num(x) + "\" y=\"" + Num(y) +
               "\" width=\"" + Num(w) + "\" height=\"" + Num(h) + "\"/></clipPath>";
    }

    // Which items this panel draws: those within kMapRadiusM of the user aircraft, or of the first placed
    // item when the user aircraft has no place.
    void Select()
    {
        const MapItem* anchor = nullptr;
        for (const MapItem& item : scene_.items)
            if (Placed(item) && item.kind == MapKind::UserAircraft) {
                anchor = &item;
                break;
            }
        for (const MapItem& item : scene_.items)
            if (!anchor && Placed(item)) anchor = &item;
        unplaced_ = scene_.unplaced;
        for (const MapItem& item : scene_.items) unplaced_ += !Placed(item);
        if (!anchor) return;
        const Projection around(anchor->latitudeDeg, anchor->longitudeDeg);
        for (size_t i = 0; i < scene_.items.size(); ++i) {
            const MapItem& item = scene_.items[i];
            if (!Placed(item)) continue;
            const Local p = around.Project(item);
            if (std::hypot(p.eastM, p.northM) <= kMapRadiusM) drawn_.push_back(i);
            else ++far_;
        }
        // The centre of the drawn things, for the projection of the picture.
        double e0 = 0, e1 = 0, n0 = 0, n1 = 0;
        bool first = true;
        for (size_t i : drawn_) {
            const Local p = around.Project(scene_.items[i]);
            e0 = first ? p.eastM : std::min(e0, p.eastM);
            e1 = first ? p.eastM : std::max(e1, p.eastM);
            n0 = first ? p.northM : std::min(n0, p.northM);
            n1 = first ? p.northM : std::max(n1, p.northM);
            first = false;
        }
        const auto [lat, lon] = around.Unproject({(e0 + e1) / 2, (n0 + n1) / 2});
        centreLat_ = lat;
        centreLon_ = lon;
        projection_ = Projection(lat, lon);
        for (size_t i : drawn_) places_.push_back(projection_.Project(scene_.items[i]));
        for (size_t slot = 0; slot < drawn_.size(); ++slot)
            if (scene_.items[drawn_[slot]].kind == MapKind::UserAircraft && !user_) user_ = slot;
        JoinParts();
    }

    // Each jetway part to the nearest jetway whose title begins its own.
    void JoinParts()
    {
        for (size_t a = 0; a < drawn_.size(); ++a) {
            const MapItem& part = scene_.items[drawn_[a]];
            if (part.kind != MapKind::JetwayPart) continue;
            const std::string partTitle = Lower(part.title);
            double best = kJoinPartM;
            std::optional<size_t> found;
            for (size_t b = 0; b < drawn_.size(); ++b) {
                const MapItem& jetway = scene_.items[drawn_[b]];
                if (jetway.kind != MapKind::Jetway || jetway.title.empty()) continue;
                if (partTitle.rfind(Lower(jetway.title), 0) != 0) continue;
                const double d = std::hypot(places_[a].eastM - places_[b].eastM, places_[a].northM - places_[b].northM);
                if (d <= best && (!found || d < best)) {
                    best = d;
                    found = b;
                }
            }
            if (found) joins_.emplace_back(a, *found);
        }
    }

    void Fit()
    {
        double e0 = 0, e1 = 0, n0 = 0, n1 = 0;
        for (size_t k = 0; k < places_.size(); ++k) {
            e0 = k ? std::min(e0, places_[k].eastM) : places_[k].eastM;
            e1 = k ? std::max(e1, places_[k].eastM) : places_[k].eastM;
            n0 = k ? std::min(n0, places_[k].northM) : places_[k].northM;
            n1 = k ? std::max(n1, places_[k].northM) : places_[k].northM;
        }
        const double extentM = std::max({e1 - e0, n1 - n0, kMinExtentM}) + 2 * kPadM;
        main_ = {(kMapW - 2 * kMarginPx) / extentM, (e0 + e1) / 2, (n0 + n1) / 2, kMapW / 2, kHeaderH + kMapH / 2};
        if (user_)
            close_ = {kClosePx / kCloseM, places_[*user_].eastM, places_[*user_].northM, kMapW + 12 + kClosePx / 2,
                      kHeaderH + 28 + kClosePx / 2};
    }

    // The aircraft, then the joins and the objects on top of them. The close view draws what lies within
    // its square, without labels (each item keeps its title as a tooltip).
    void DrawItems(const View& view, bool close)
    {
        auto within = [&](size_t slot) {
            return !close || (std::fabs(places_[slot].eastM - view.midE) <= kCloseM / 2 + kPadM &&
                              std::fabs(places_[slot].northM - view.midN) <= kCloseM / 2 + kPadM);
        };
        for (bool aircraft : {true, false}) {
            if (!aircraft)
                for (const auto& [part, jetway] : joins_)
                    if (within(part) || within(jetway)) Join(view, part, jetway);
            for (size_t slot = 0; slot < drawn_.size(); ++slot) {
                const MapItem& item = scene_.items[drawn_[slot]];
                const bool isAircraft = item.kind == MapKind::UserAircraft || item.kind == MapKind::AiAircraft;
                if (isAircraft == aircraft && within(slot)) Item(view, item, slot, close);
            }
        }
    }

    void Header()
    {
        std::string line = "World at " + Fixed("%.3f", scene_.seconds) + " s";
        if (!drawn_.empty())
            line += " - centre " + Fixed("%.6f", std::fabs(centreLat_)) + (centreLat_ < 0 ? " S " : " N ") +
                    Fixed("%.6f", std::fabs(centreLon_)) + (centreLon_ < 0 ? " W" : " E");
        line += " - 1 px = " + Fixed("%.3f", 1 / main_.pxPerM) + " m";
        std::string counts = std::to_string(drawn_.size()) + " drawn";
        if (far_) counts += "; " + std::to_string(far_) + " farther than " + Fixed("%.0f", kMapRadiusM) + " m left out";
        if (unplaced_) counts += "; " + std::to_string(unplaced_) + " without a place left out";
        out_ += "<text class=\"title\" x=\"10\" y=\"20\">" + XmlEscape(line) + "</text>\n";
        out_ += "<text class=\"note\" id=\"" + prefix_ + "counts\" x=\"10\" y=\"38\">" + XmlEscape(counts) + "</text>\n";
    }

    void Join(const View& view, size_t part, size_t jetway)
    {
        out_ += "<line class=\"join\" x1=\"" + Num(view.X(places_[jetway])) + "\" y1=\"" + Num(view.Y(places_[jetway])) +
                "\" x2=\"" + Num(view.X(places_[part])) + "\" y2=\"" + Num(view.Y(places_[part])) + "\"/>\n";
    }

    // A marker of sizeM metres, at least minPx pixels, with a tick along the heading; returns its reach
    // in pixels.
    double Marker(const View& view, const char* shape, double sizeM, double minPx)
    {
        const double half = std::max(sizeM * view.pxPerM, minPx) / 2;
        if (std::strcmp(shape, "circle") == 0) {
            out_ += "<circle class=\"shape\" cx=\"0\" cy=\"0\" r=\"" + Num(half) + "\"/>";
        } else {
            const double w = std::strcmp(shape, "wide") == 0 ? half * 2 : half;
            out_ += "<rect class=\"shape\" x=\"" + Num(-w) + "\" y=\"" + Num(-half) + "\" width=\"" + Num(2 * w) +
                    "\" height=\"" + Num(2 * half) + "\"/>";
        }
        out_ += "<line class=\"heading\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"" + Num(-(half + 8)) + "\"/>";
        return half;
    }

    // Which doors of an aircraft a jetway reaches: a jetway or one of its parts within kServedM of the
    // door.
    std::vector<bool> ServedDoors(const MapItem& item, size_t slot) const
    {
        std::vector<bool> served(item.doors.size(), false);
        const double h = (std::isfinite(item.headingDeg) ? item.headingDeg : 0) * std::numbers::pi / 180;
        for (size_t d = 0; d < item.doors.size(); ++d) {
            const MapDoor& door = item.doors[d];
            const double eastM = places_[slot].eastM + std::sin(h) * door.forwardM + std::cos(h) * door.rightM;
            const double northM = places_[slot].northM + std::cos(h) * door.forwardM - std::sin(h) * door.rightM;
            for (size_t k = 0; k < drawn_.size() && !served[d]; ++k) {
                const MapKind kind = scene_.items[drawn_[k]].kind;
                served[d] = (kind == MapKind::Jetway || kind == MapKind::JetwayPart) &&
                            std::hypot(places_[k].eastM - eastM, places_[k].northM - northM) <= kServedM;
            }
        }
        return served;
    }

    // The outline with its doors; the close view also names each door, upright beside it, outboard.
    void Outline(const MapItem& item, double scale, const std::vector<bool>& served, bool close, double headingDeg)
    {
        std::string points;
        auto add = [&](double rightM, double forwardM) {
            if (!points.empty()) points += ' ';
            points += Num(rightM * scale) + "," + Num(-forwardM * scale);
        };
        for (const auto& p : kAircraftHalf) add(p[0], p[1]);
        for (size_t i = std::size(kAircraftHalf); i-- > 0;)
            if (kAircraftHalf[i][0] != 0) add(-kAircraftHalf[i][0], kAircraftHalf[i][1]);
        out_ += "<polygon class=\"shape\" points=\"" + points + "\"/>";
        for (size_t d = 0; d < item.doors.size(); ++d) {
            const MapDoor& door = item.doors[d];
            if (!std::isfinite(door.forwardM) || !std::isfinite(door.rightM)) continue;
            const double cx = door.rightM * scale, cy = -door.forwardM * scale;
            out_ += std::string("<circle class=\"") + (served[d] ? "door served" : "door") + "\" cx=\"" + Num(cx) +
                    "\" cy=\"" + Num(cy) + "\" r=\"" + Num(std::max(1.0 * scale, 3.0)) + "\"><title>" +
                    XmlEscape(door.name) + "</title></circle>";
            if (!close) continue;
            const double outX = cx + (door.rightM < 0 ? -8 : 8);
            out_ += "<text class=\"door-name\" x=\"" + Num(outX) + "\" y=\"" + Num(cy + 4) + "\" transform=\"rotate(" +
                    Num(-headingDeg) + " " + Num(outX) + " " + Num(cy) + ")\"" +
                    (door.rightM < 0 ? " text-anchor=\"end\">" : ">") + XmlEscape(door.name) + "</text>";
        }
    }

    void Item(const View& view, const MapItem& item, size_t slot, bool close)
    {
        const double x = view.X(places_[slot]), y = view.Y(places_[slot]);
        const double heading = std::isfinite(item.headingDeg) ? std::fmod(item.headingDeg, 360.0) : 0;
        const char* kind = KindClass(item.kind);
        // Only the main map's items carry ids: they are the picture's list of what it holds.
        out_ += close ? "<g class=\"close-item " + std::string(kind) + "\""
                      : "<g class=\"item " + std::string(kind) + "\" id=\"" + prefix_ + "item-" + std::to_string(item.id) +
                            "\"";
        out_ += " transform=\"translate(" + Num(x) + " " + Num(y) + ")\">";
        out_ += "<title>" + XmlEscape(item.title) + "</title>";
        out_ += "<g transform=\"rotate(" + Num(heading) + ")\">";
        double reachPx = 6;
        switch (item.kind) {
        case MapKind::UserAircraft:
        case MapKind::AiAircraft:
            Outline(item, std::max(view.pxPerM, kMinAircraftPx / kAircraftLengthM), ServedDoors(item, slot), close,
                    heading);
            reachPx = 4;
            break;
        case MapKind::Jetway: reachPx = Marker(view, "circle", 4, 10); break;
        case MapKind::JetwayPart: reachPx = Marker(view, "square", 3, 8); break;
        case MapKind::Vdgs: reachPx = Marker(view, "wide", 1.5, 6); break;
        case MapKind::GateNumber: reachPx = Marker(view, "square", 1, 7); break;
        case MapKind::Object: reachPx = Marker(view, "circle", 2, 6); break;
        }
        out_ += "</g>";
        if (!close) Label(item, x, y, reachPx);
        out_ += "</g>\n";
    }

    // The title beside the place, and below it what the object shows. A label that another already
    // covers moves a line down or up, further each time, with a thin line back to its place; one that
    // would leave the map on the right goes to the left of its place.
    void Label(const MapItem& item, double x, double y, double reachPx)
    {
        const std::string& shown = item.label.empty() ? item.title : item.label;
        const std::string label = ShortLabel(shown.empty() ? "(untitled)" : shown);
        const std::string text = ShortLabel(item.text);
        const double width = kLabelCharW * static_cast<double>(std::max(Characters(label), Characters(text)));
        const double height = text.empty() ? kLabelLineH : 2 * kLabelLineH;
        const bool left = x + reachPx + 4 + width > kMapW - 4;
        const double dx = left ? -(reachPx + 4) : reachPx + 4;
        const double boxX = left ? x + dx - width : x + dx;
        const double base = -reachPx;
        auto boxAt = [&](double dy) { return Box{boxX, y + dy - kLabelPx, boxX + width, y + dy - kLabelPx + height}; };
        auto free = [&](const Box& box) {
            return box.y0 >= kHeaderH && box.y1 <= kHeaderH + kMapH &&
                   std::none_of(labels_.begin(), labels_.end(), [&](const Box& b) { return b.Overlaps(box); });
        };
        // 0, +1, -1, +2 .. lines from the place; nothing when no line within kLabelTries is free.
        auto freeLine = [&](const std::function<Box(double)>& at) -> std::optional<double> {
            for (int step = 0; step <= kLabelTries; ++step) {
                const double candidate = base + (step % 2 ? 1 : -1) * ((step + 1) / 2) * kLabelLineH;
                if (free(at(candidate))) return candidate;
            }
            return std::nullopt;
        };
        const std::optional<double> line = freeLine(boxAt);
        if (!line) return KeyNumber(label, text, x, y, dx, base, left, freeLine);
        const double dy = *line;
        labels_.push_back(boxAt(dy));
        if (std::fabs(dy - base) > kLabelLineH / 2)
            out_ += "<line class=\"leader\" x1=\"0\" y1=\"0\" x2=\"" + Num(dx) + "\" y2=\"" + Num(dy - 4) + "\"/>";
        const std::string anchor = left ? "\" text-anchor=\"end\">" : "\">";
        out_ += "<text class=\"label\" x=\"" + Num(dx) + "\" y=\"" + Num(dy) + anchor + XmlEscape(label) + "</text>";
        if (!text.empty())
            out_ += "<text class=\"shows\" x=\"" + Num(dx) + "\" y=\"" + Num(dy + kLabelLineH) + anchor + XmlEscape(text) +
                    "</text>";
    }

    // Where a label finds no room, a number stands at the place instead, and the key beside the map
    // holds the label under that number.
    void KeyNumber(const std::string& label, const std::string& text, double x, double y, double dx, double base,
                   bool left, const std::function<std::optional<double>(const std::function<Box(double)>&)>& freeLine)
    {
        const std::string number = std::to_string(keys_.size() + 1);
        const double width = kLabelCharW * static_cast<double>(number.size());
        const double boxX = left ? x + dx - width : x + dx;
        auto boxAt = [&](double dy) { return Box{boxX, y + dy - kLabelPx, boxX + width, y + dy - kLabelPx + kLabelLineH}; };
        const double dy = freeLine(boxAt).value_or(base);
        labels_.push_back(boxAt(dy));
        const std::string anchor = left ? "\" text-anchor=\"end\">" : "\">";
        out_ += "<text class=\"key-number\" x=\"" + Num(dx) + "\" y=\"" + Num(dy) + anchor + number + "</text>";
        keys_.push_back(number + "  " + label + (text.empty() ? "" : " (" + text + ")"));
    }

    // The labels that had no room on the map, by their numbers, below the legend; what does not fit is
    // counted.
    void Key(double x, double y)
    {
        if (keys_.empty()) return;
        out_ += "<g class=\"key\"><text class=\"note\" x=\"" + Num(x) + "\" y=\"" + Num(y) +
                "\">Labels without room on the map:</text>";
        const double lines = std::floor((kPanelH - 8 - y) / kLabelLineH) - 1;  // below the heading
        const size_t room = lines > 1 ? static_cast<size_t>(lines) : 1;
        const size_t shown = keys_.size() <= room ? keys_.size() : room - 1;
        for (size_t i = 0; i < shown; ++i)
            out_ += "<text class=\"key-entry\" x=\"" + Num(x) + "\" y=\"" + Num(y + (i + 1) * kLabelLineH) + "\">" +
                    XmlEscape(keys_[i]) + "</text>";
        if (shown < keys_.size())
            out_ += "<text class=\"note\" x=\"" + Num(x) + "\" y=\"" + Num(y + (shown + 1) * kLabelLineH) + "\">and " +
                    std::to_string(keys_.size() - shown) + " more</text>";
        out_ += "</g>\n";
    }

    void NorthArrow()
    {
        const double x = kMapW - 30, y = kHeaderH + 20;
        out_ += "<g class=\"north\" transform=\"translate(" + Num(x) + " " + Num(y) + ")\">"
                "<polygon points=\"0,0 8,24 0,18 -8,24\"/>"
                "<text x=\"0\" y=\"40\" text-anchor=\"middle\">N</text></g>\n";
    }

    void ScaleBar(const View& view, double x, double y)
    {
        const double lengthM = NiceLength(kClosePx / 2 / view.pxPerM);
        const double w = lengthM * view.pxPerM;
        const std::string text = lengthM >= 1000 ? Fixed("%g km", lengthM / 1000) : Fixed("%g m", lengthM);
        out_ += "<g class=\"scale\" transform=\"translate(" + Num(x) + " " + Num(y) + ")\">";
        out_ += "<path d=\"M0,-6 V0 H" + Num(w) + " V-6\"/>";
        out_ += "<text x=\"" + Num(w / 2) + "\" y=\"-8\" text-anchor=\"middle\">" + XmlEscape(text) + "</text></g>\n";
    }

    // The square around the user aircraft at a fixed scale, north up like the map.
    void CloseView()
    {
        const double x = kMapW + 12, y = kHeaderH + 28;
        out_ += "<text class=\"note\" x=\"" + Num(x) + "\" y=\"" + Num(y - 8) + "\">Around the user aircraft (" +
                Fixed("%.0f", kCloseM) + " m square)</text>\n";
        out_ += "<rect class=\"ground close\" x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(kClosePx) +
                "\" height=\"" + Num(kClosePx) + "\"/>\n";
        if (!user_) {
            out_ += "<text class=\"note\" x=\"" + Num(x + kClosePx / 2) + "\" y=\"" + Num(y + kClosePx / 2) +
                    "\" text-anchor=\"middle\">no user aircraft</text>\n";
            return;
        }
        out_ += "<g class=\"close-view\" clip-path=\"url(#" + prefix_ + "clip-close)\">\n";
        DrawItems(close_, true);
        out_ += "</g>\n";
        ScaleBar(close_, x + 10, y + kClosePx - 10);
    }

    void Legend(double x, double y)
    {
        static const std::pair<MapKind, const char*> entries[] = {
            {MapKind::UserAircraft, "user aircraft"}, {MapKind::AiAircraft, "AI aircraft"},
            {MapKind::Jetway, "jetway (dashes: to its parts)"}, {MapKind::JetwayPart, "jetway part"},
            {MapKind::Vdgs, "guidance display"},      {MapKind::GateNumber, "gate number box"},
            {MapKind::Object, "other object"}};
        out_ += "<g class=\"legend\">";
        for (const auto& [kind, name] : entries) {
            out_ += "<g class=\"" + std::string(KindClass(kind)) + "\"><rect class=\"shape\" x=\"" + Num(x) + "\" y=\"" +
                    Num(y - 9) + "\" width=\"10\" height=\"10\"/></g>";
            out_ += "<text x=\"" + Num(x + 16) + "\" y=\"" + Num(y) + "\">" + name + "</text>";
            y += 18;
        }
        out_ += "<circle class=\"door\" cx=\"" + Num(x + 5) + "\" cy=\"" + Num(y - 4) + "\" r=\"4\"/>";
        out_ += "<text x=\"" + Num(x + 16) + "\" y=\"" + Num(y) + "\">door (where the simulator knows it)</text>";
        y += 18;
        out_ += "<circle class=\"door served\" cx=\"" + Num(x + 5) + "\" cy=\"" + Num(y - 4) + "\" r=\"4\"/>";
        out_ += "<text x=\"" + Num(x + 16) + "\" y=\"" + Num(y) + "\">door a jetway reaches (within " +
                Fixed("%.0f", kServedM) + " m)</text>";
        y += 18;
        out_ += "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\">Ticks and noses point along the heading.</text></g>\n";
    }

    std::string& out_;
    const MapScene& scene_;
    std::string prefix_;
    double ox_, oy_;
    std::vector<size_t> drawn_;  // indices into scene_.items
    std::vector<Local> places_;  // of drawn_, in the picture's projection
    std::vector<std::pair<size_t, size_t>> joins_;  // (part, jetway) slots of drawn_
    std::optional<size_t> user_;  // slot of the user aircraft
    std::vector<Box> labels_;
    std::vector<std::string> keys_;  // "n  label" of the labels drawn as numbers
    int far_ = 0, unplaced_ = 0;
    double centreLat_ = 0, centreLon_ = 0;
    Projection projection_{0, 0};
    View main_, close_;
};

const char* const kStyle =
    "<style>\n"
    "text{font-family:sans-serif;font-size:12px;fill:#111;}\n"
    ".frame{fill:#fff;stroke:#888;stroke-width:1;}\n"
    ".ground{fill:#eef1ec;}\n"
    ".title{font-size:14px;font-weight:bold;}\n"
    ".note{fill:#444;}\n"
    ".label,.shows{paint-order:stroke;stroke:#fff;stroke-width:3px;stroke-linejoin:round;}\n"
    ".shows{font-family:monospace;fill:#7b1fa2;}\n"
    ".shape{stroke:#222;stroke-width:1;}\n"
    ".heading{stroke:#222;stroke-width:1.5;}\n"
    ".user-aircraft .shape{fill:#4a90d9;fill-opacity:0.8;}\n"
    ".ai-aircraft .shape{fill:#b0b0b0;fill-opacity:0.8;}\n"
    ".jetway .shape{fill:#2e7d32;}\n"
    ".jetway-part .shape{fill:#81c784;}\n"
    ".vdgs .shape{fill:#7b1fa2;}\n"
    ".gate-number .shape{fill:#8d6e63;}\n"
    ".object .shape{fill:#555;}\n"
    ".door{fill:#ff9800;stroke:#222;stroke-width:0.5;}\n"
    ".door.served{fill:#2e7d32;stroke:#000;stroke-width:1.5;}\n"
    ".door-name{font-size:10px;paint-order:stroke;stroke:#fff;stroke-width:3px;}\n"
    ".join{stroke:#2e7d32;stroke-width:2;stroke-dasharray:5 3;}\n"
    ".leader{stroke:#888;stroke-width:0.7;}\n"
    ".legend text{font-size:11px;}\n"
    ".key-number{font-size:10px;font-weight:bold;fill:#c62828;paint-order:stroke;stroke:#fff;stroke-width:3px;}\n"
    ".key-entry{font-size:11px;}\n"
    ".north polygon{fill:#222;}\n"
    ".north text{font-weight:bold;}\n"
    ".scale path{fill:none;stroke:#222;stroke-width:2;}\n"
    "</style>\n";

}  // namespace

MapKind MapKindOfTitle(const std::string& title)
{
    const std::string t = Lower(title);
    if (Contains(t, "jetway")) {
        for (const char* part : {"head", "bridge", "tunnel", "cab", "hood", "stair", "wheel"})
            if (Contains(t, part)) return MapKind::JetwayPart;
        return MapKind::Jetway;
    }
    for (const char* word : {"vdgs", "guidance", "docking", "apis"})
        if (Contains(t, word)) return MapKind::Vdgs;
    for (const char* word : {"gate number", "gatenumber", "gate_number"})
        if (Contains(t, word)) return MapKind::GateNumber;
    return MapKind::Object;
}

MapScene CaptureMap(const Simulator& sim)
{
    MapScene scene;
    scene.seconds = static_cast<double>(sim.NowMs()) / 1000.0;
    const ObjectId user = sim.UserAircraftId();
    // The doors come from the aircraft.cfg files under the machine root; aircraft without one get none.
    const char* rootEnv = std::getenv("VELK_MACHINE_ROOT");
    const std::string root = rootEnv ? rootEnv : "";
    const std::string airFile = sim.AircraftFile();
    for (const ObjectInfo& info : sim.Objects()) {
        MapItem item;
        item.id = info.id;
        item.title = info.title;
        if (info.id == user) {
            item.kind = MapKind::UserAircraft;
            if (auto title = sim.Text(info.id, "TITLE"); title && !title->empty()) item.title = *title;
        } else if (info.type == SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) {
            item.kind = MapKind::AiAircraft;
        } else {
            item.kind = MapKindOfTitle(info.title);
        }
        const auto latitude = sim.Number(info.id, "PLANE LATITUDE", "degrees");
        const auto longitude = sim.Number(info.id, "PLANE LONGITUDE", "degrees");
        if (!latitude || !longitude) {
            ++scene.unplaced;
            continue;
        }
        item.latitudeDeg = *latitude;
        item.longitudeDeg = *longitude;
        item.headingDeg = sim.Number(info.id, "PLANE HEADING DEGREES TRUE", "degrees").value_or(0);
        // A guidance display holds its reading as numbers, the distance to the stop first (negative while idle).
        if (item.kind == MapKind::Vdgs) {
            const auto distanceM = sim.Number(info.id, "VELOCITY WORLD X", "Number");
            if (distanceM && std::isfinite(*distanceM) && *distanceM >= 0)
                item.text = "distance " + Fixed("%.1f", *distanceM) + " m";
        }
        if (item.kind == MapKind::UserAircraft) item.doors = DoorsOfAirFile(root, airFile);
        else if (item.kind == MapKind::AiAircraft) item.doors = DoorsOfTitle(root, airFile, info.title);
        scene.items.push_back(std::move(item));
    }
    // The objects orvane placed carry the names their placement files give them.
    NamePlacedItems(scene, ReadPlacedNames(root));
    return scene;
}

std::string DrawMap(const std::vector<MapScene>& scenes)
{
    const size_t count = std::max<size_t>(1, scenes.size());
    const size_t columns = std::min<size_t>(2, count);
    const size_t rows = (count + columns - 1) / columns;
    const double width = static_cast<double>(columns) * (kPanelW + kGap) + kGap;
    const double height = static_cast<double>(rows) * (kPanelH + kGap) + kGap;
    std::string out;
    out.reserve(4096 + scenes.size() * 16384);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + Num(width) + "\" height=\"" +
           Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " + Num(height) + "\">\n";
    out += "<title>The simulator's world from above</title>\n";
    out += kStyle;
    out += "<rect x=\"0\" y=\"0\" width=\"" + Num(width) + "\" height=\"" + Num(height) + "\" fill=\"#f7f7f7\"/>\n";
    const MapScene empty;
    for (size_t i = 0; i < count; ++i) {
        const double x = kGap + static_cast<double>(i % columns) * (kPanelW + kGap);
        const double y = kGap + static_cast<double>(i / columns) * (kPanelH + kGap);
        Panel(out, scenes.empty() ? empty : scenes[i], static_cast<int>(i), x, y).Draw();
    }
    out += "</svg>\n";
    return out;
}

bool CheckMapPath(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error) *error = "cannot write the map '" + path + "': " + why;
        return false;
    };
    if (path.empty()) return fail("no file named");
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    if (existed && std::filesystem::is_directory(path, ec)) return fail("it is a folder");
    errno = 0;
    {
        std::ofstream probe(path, std::ios::app | std::ios::binary);
        if (!probe) return fail(errno ? std::strerror(errno) : "it cannot be opened");
    }
    if (!existed) std::filesystem::remove(path, ec);
    return true;
}

bool WriteMap(const std::string& path, const std::vector<MapScene>& scenes, std::string* error)
{
    const std::string svg = DrawMap(scenes);
    errno = 0;
    std::ofstream file(path, std::ios::trunc | std::ios::binary);
    if (file) file.write(svg.data(), static_cast<std::streamsize>(svg.size()));
    if (file) file.close();
    if (!file) {
        if (error) *error = "cannot write the map '" + path + "': " + (errno ? std::strerror(errno) : "write failed");
        return false;
    }
    return true;
}

std::string XmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F ? '?' : static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A UTF-8 sequence is kept whole when it is well formed (no overlong forms, no surrogates, at most
        // U+10FFFF); any other byte becomes '?'.
        size_t length = 0;
        uint32_t code = 0, least = 0;
        if ((c & 0xE0) == 0xC0) length = 2, code = c & 0x1F, least = 0x80;
        else if ((c & 0xF0) == 0xE0) length = 3, code = c & 0x0F, least = 0x800;
        else if ((c & 0xF8) == 0xF0) length = 4, code = c & 0x07, least = 0x10000;
        bool ok = length != 0 && i + length <= n;
        for (size_t k = 1; ok && k < length; ++k) {
            ok = (s[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        ok = ok && code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
             code != 0xFFFF;
        if (ok) {
            out.append(text, i, length);
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

}  // namespace simulator
