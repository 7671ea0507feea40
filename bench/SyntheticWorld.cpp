#include "bench/SyntheticWorld.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace bench {

namespace {

const fs::path kSampleMachine = VELK_SAMPLE_MACHINE;

// The airports' grid: 1 degree of latitude and 1.5 degrees of longitude apart (at least 95 km at these
// latitudes), far more than the bubble's query box (46 km each way) plus an airport's extent (under 20 km).
constexpr double kGridLatitude = 41.0;
constexpr double kGridLongitude = 2.0;
constexpr double kGridLatitudeStep = 1.0;
constexpr double kGridLongitudeStep = 1.5;
constexpr int32_t kGridColumns = 16;

// Within an airport the pieces stand in rows of this many, this far apart (about 280 m by 300 m).
constexpr int32_t kPiecesPerRow = 24;
constexpr double kPieceLatitudeStep = 0.0025;
constexpr double kPieceLongitudeStep = 0.004;

// Which piece comes where in an airport's sequence: an apron every twelfth, a stand every third, light masts
// between.
constexpr int32_t kApronEvery = 12;
constexpr int32_t kMastPlacements = 8;

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.6f", value);
    return text;
}

std::string Placement(double latitude, double longitude, const char* altitude, int heading)
{
    return "<Placement Lat=\"" + Number(latitude) + "\" Lon=\"" + Number(longitude) + "\" Alt=\"" + altitude +
           "\" Hdg=\"" + std::to_string(heading) + "\"/>";
}

// One self-contained part of a placement file: its links (client lists, synchronised objects) stay within it.
struct Piece {
    std::string text;
    int32_t objects = 0;
    int32_t probes = 0;
    int32_t jetways = 0;
};

class AirportWriter {
public:
    AirportWriter(SyntheticAirport& airport) : airport_(airport), remaining_(airport.objects) {}

    bool Done() const { return remaining_ == 0; }

    Piece Next()
    {
        const int32_t index = pieces_++;
        const double latitude = airport_.latitude + (index / kPiecesPerRow) * kPieceLatitudeStep;
        const double longitude = airport_.longitude + (index % kPiecesPerRow) * kPieceLongitudeStep;
        Piece piece;
        if (index % kApronEvery == 0) piece = Apron(latitude, longitude);
        else if (index % 3 == 1) piece = Stand(latitude, longitude);
        else piece = Masts(latitude, longitude);
        // The last objects of the airport: single ones, so that it gets exactly its count.
        if (piece.objects > remaining_) piece = Fillers(latitude, longitude, remaining_);
        remaining_ -= piece.objects;
        airport_.probes += piece.probes;
        airport_.jetways += piece.jetways;
        return piece;
    }

private:
    std::string Name(const std::string& what) const { return airport_.icao + " " + what; }

    // A stand: one to three jetways of the four kinds, a docking guidance display, a gate number box and a
    // ground power unit with a menu animation.
    Piece Stand(double latitude, double longitude)
    {
        static const char* const kJetways[] = {"JetwayA", "JetwayN", "JetwayH", "JetwayT"};
        static const char* const kDisplays[] = {"Std", "APIS", "TrafficLight", "Honeywell"};
        static const char* const kStates[] = {"5;55;50;10", "R;R;R;R", "8;60;40;12", "0;50;0;5"};
        const int32_t number = ++stands_;
        const std::string stand = "S" + std::to_string(number);
        const int32_t jetways = 1 + number % 3;
        const std::string gate = std::string("GATE_") + static_cast<char>('A' + (number / 40) % 6);
        Piece piece;
        std::string& t = piece.text;
        t += "  <Stand AfcadICAO=\"" + airport_.icao + "\" AfcadGateName=\"" + gate + "\" AfcadParkingNumber=\"" +
             std::to_string(number) + "\">\n";
        for (int32_t j = 1; j <= jetways; ++j) {
            const std::string kind = kJetways[(number + j) % 4];
            t += "    <SimObject Name=\"" + Name(stand + " Jetway " + std::to_string(j)) + "\">\n      " +
                 Placement(latitude + 0.0003, longitude + 0.0002 * j, "0#AGL", 150 + 20 * j) + "\n";
            t += "      <Model SimTitle=\"Quorvath_VELK_" + kind + "\" StaticSimTitle=\"Quorvath_VELK_" + kind +
                 "_Static\">\n";
            t += "        <Jetway MultiIndex=\"" + std::to_string(j) + "\" InitialState=\"" + kStates[(number + j) % 4] +
                 "\"/>\n      </Model>\n    </SimObject>\n";
        }
        t += "    <SimObject Name=\"" + Name(stand + " VDGS") + "\">\n      " +
             Placement(latitude + 0.00045, longitude + 0.0002, "6#AGL", 0) + "\n";
        t += std::string("      <Model SimTitle=\"Quorvath_VELK_VDGS_") + kDisplays[number % 4] +
             "\" StaticSimTitle=\"Quorvath_VELK_VDGS_Static\">\n";
        t += "        <VDGS DistanceUnit=\"M\" CaptureDistance=\"60\" LateralOffset=\"0\">\n"
             "          <Stop Distance=\"42.0\" AircraftTypes=\"A318;A319;A320\"/>\n"
             "          <Stop Distance=\"40.5\" AircraftTypes=\"A321;B737\"/>\n"
             "          <Stop Distance=\"44.0\" AircraftTypes=\"CRJ7;CRJ9;E190\"/>\n"
             "        </VDGS>\n      </Model>\n    </SimObject>\n";
        t += "    <SimObject Name=\"" + Name(stand + " Gate Number") + "\">\n      " +
             Placement(latitude + 0.00046, longitude + 0.0001, "7#AGL", 180) +
             "\n      <Model SimTitle=\"Quorvath_VELK_GateNumberBox\"/>\n    </SimObject>\n";
        t += "    <SimObject Name=\"" + Name(stand + " Ground Power") + "\">\n      " +
             Placement(latitude + 0.0001, longitude + 0.0003, "0#AGL", 270) +
             "\n      <Model SimTitle=\"Quorvath_VELK_GPU\">\n        <TriggerableAnimation Input=\"TextMenu\" "
             "Action=\"Connect ground power,Disconnect ground power\" StartKF=\"0\" EndKF=\"50\" Duration=\"3\"/>\n"
             "      </Model>\n    </SimObject>\n";
        t += "  </Stand>\n";
        piece.objects = jetways + 3;
        piece.jetways = jetways;
        return piece;
    }

    // The apron's objects around a weather probe whose client list names some of them and all jetways.
    Piece Apron(double latitude, double longitude)
    {
        const std::string apron = "Apron" + std::to_string(++aprons_) + " ";
        const std::string n = Name(apron);
        auto object = [&](const std::string& name, const std::string& placements, const std::string& model) {
            return "  <SimObject Name=\"" + n + name + "\">\n" + placements + model + "  </SimObject>\n";
        };
        auto at = [&](double dLat, double dLon, int heading, const char* altitude = "0#AGL") {
            return "    " + Placement(latitude + dLat, longitude + dLon, altitude, heading) + "\n";
        };
        Piece piece;
        std::string& t = piece.text;
        t += object("Weather Probe", at(0.0010, 0.0, 0, "1650"),
                    "    <Model SimTitle=\"Quorvath_VELK_EnviroProbe\">\n      <EnvironmentalDataProbe "
                    "LowVisibilityThreshold=\"1500\" ClientList=\"ALL_JETWAYS;" +
                        n + "Windsock;" + n + "Flag;" + n + "Snow Plough\"/>\n    </Model>\n");
        t += object("Windsock", at(0.0020, 0.0030, 0),
                    "    <Model SimTitle=\"Quorvath_VELK_Windsock\">\n      <VariableDrivenRotation "
                    "Variable=\"WindDirection\" Axis=\"HEADING\" Animated=\"Yes\"/>\n    </Model>\n");
        t += object("Beacon", at(0.0008, 0.0, 0, "28#AGL"),
                    "    <Model SimTitle=\"Quorvath_VELK_Beacon\" Timer=\"750;2\">\n      <ConditionalVisibility "
                    "Variable=\"TimeOfDay\" ID=\"Dark\" Value=\"DAWN;DUSK-NIGHT\"/>\n    </Model>\n");
        t += object("Flag", at(0.0006, -0.0015, 0),
                    "    <Model SimTitle=\"Quorvath_VELK_Flag\">\n      <VariableDrivenRotation Variable=\"WindDirection\" "
                    "Axis=\"HEADING\" Animated=\"No\"/>\n      <ConditionalVisibility LogicExpression=\"Workday $ "
                    "Daytime\">\n        <Condition Variable=\"DayOfWeek\" ID=\"Workday\" Value=\"MON-FRI\"/>\n"
                    "        <Condition Variable=\"Time\" ID=\"Daytime\" Value=\"0600-2000 LT\"/>\n"
                    "      </ConditionalVisibility>\n    </Model>\n");
        t += object("Snow Plough", at(-0.0005, 0.0025, 270),
                    "    <Model SimTitle=\"Quorvath_VELK_SnowPlow\">\n      <ConditionalVisibility "
                    "LogicExpression=\"Winter | Snowing\">\n        <Condition Variable=\"MonthOfYear\" ID=\"Winter\" "
                    "Value=\"NOV-DEC;JAN-MAR\"/>\n        <Condition Variable=\"MetPrecipitation\" ID=\"Snowing\" "
                    "Value=\"SNOW\"/>\n      </ConditionalVisibility>\n    </Model>\n");
        t += object("Barrier", at(0.0003, 0.0020, 90),
                    "    <Model SimTitle=\"Quorvath_VELK_Barrier\">\n      <TriggerableAnimation Input=\"TextMenu\" "
                    "Action=\"Proximity,120\" StartKF=\"0\" EndKF=\"100\" Duration=\"5\"/>\n    </Model>\n");
        t += object("Floodlight", at(0.0002, -0.0020, 180) + at(0.0002, 0.0020, 180),
                    "    <Model SimTitle=\"Quorvath_VELK_Floodlight\">\n      <TriggerableVisibility Input=\"RadioTX\" "
                    "Activation=\"3;123.450\" TimeParam=\"5;10\" VisibleOnLoad=\"No\"/>\n    </Model>\n");
        t += object("Stairs", at(-0.0010, 0.0015, 0),
                    "    <Model SimTitle=\"Quorvath_VELK_StairTruck\">\n      <ControllableAnimation Input=\"TextMenu\" "
                    "KeyframeData=\"0;100;0;12\" Action=\"Raise stairs,Lower stairs\"/>\n    </Model>\n");
        t += "  <Group Name=\"" + n + "Carts\">\n    <TriggerableVisibility Input=\"TextMenu\" Action=\"" + n +
             "carts\" VisibleOnLoad=\"Yes\"/>\n";
        for (int cart = 1; cart <= 3; ++cart) {
            t += "  " + object("Cart " + std::to_string(cart), "  " + at(-0.0010, 0.0010 + 0.0001 * cart, 90),
                               "      <Model SimTitle=\"Quorvath_VELK_BaggageCart\">\n        <RandomizedVisibility "
                               "PickProbabilityInPercent=\"" +
                                   std::to_string(90 - 20 * cart) + "\"/>\n      </Model>\n");
        }
        t += "  </Group>\n";
        t += object("Hangar Door", at(-0.0015, -0.0010, 0),
                    "    <Model SimTitle=\"Quorvath_VELK_Barrier\">\n      <TriggerableAnimation Input=\"TextMenu\" "
                    "Action=\"Open hangar,Close hangar\" StartKF=\"0\" EndKF=\"100\" Duration=\"8\" SyncStateWith=\"" +
                        n + "Hangar Lamp\"/>\n    </Model>\n");
        t += object("Hangar Lamp", at(-0.0015, -0.0008, 0, "9#AGL"), "    <Model SimTitle=\"Quorvath_VELK_Beacon\"/>\n");
        t += object("Radar", at(0.0015, -0.0030, 0),
                    "    <Model SimTitle=\"Quorvath_VELK_Windsock\">\n      <VariableDrivenRotation "
                    "Variable=\"UserAircraftPosition\" Mode=\"TURN\"/>\n    </Model>\n");
        t += object("Taxi Sign", at(0.0012, 0.0010, 90),
                    "    <Model SimTitle=\"Quorvath_VELK_Flag\">\n      <ConditionalVisibility Variable=\"SeparationPlane\" "
                    "ID=\"Side\" Elevation=\"0\" Azimuth=\"90\" Offset=\"0;0;0\"/>\n    </Model>\n");
        piece.objects = 15;
        piece.probes = 1;
        return piece;
    }

    // Light masts along a road: plain objects of several placements each.
    Piece Masts(double latitude, double longitude)
    {
        const std::string mast = "Mast " + std::to_string(++masts_);
        Piece piece;
        std::string& t = piece.text;
        t += "  <SimObject Name=\"" + Name(mast) + "\">\n";
        for (int k = 0; k < kMastPlacements; ++k)
            t += "    " + Placement(latitude - 0.0003 * k, longitude - 0.0006, "0#AGL", 45 * k) + "\n";
        t += "    <Model SimTitle=\"Quorvath_VELK_Floodlight\"/>\n  </SimObject>\n";
        piece.objects = kMastPlacements;
        return piece;
    }

    Piece Fillers(double latitude, double longitude, int32_t count)
    {
        Piece piece;
        for (int32_t k = 0; k < count; ++k) {
            piece.text += "  <SimObject Name=\"" + Name("Cone " + std::to_string(++fillers_)) + "\">\n    " +
                          Placement(latitude + 0.0001 * k, longitude, "0#AGL", 0) +
                          "\n    <Model SimTitle=\"Quorvath_VELK_Barrier\"/>\n  </SimObject>\n";
        }
        piece.objects = count;
        return piece;
    }

    SyntheticAirport& airport_;
    int32_t remaining_;
    int32_t pieces_ = 0;
    int32_t stands_ = 0;
    int32_t aprons_ = 0;
    int32_t masts_ = 0;
    int32_t fillers_ = 0;
};

// "XAAA", "XAAB", ...
std::string AirportCode(int32_t index)
{
    std::string code = "X";
    for (int32_t divisor = 26 * 26; divisor > 0; divisor /= 26) code += static_cast<char>('A' + (index / divisor) % 26);
    return code;
}

// The sample installation without its placement files and custom configurations, and without the
// sample's own sources and tools.
void CopyInstallation(const fs::path& root)
{
    fs::copy(kSampleMachine, root, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const fs::path data = root / "c/ProgramData/Quorvath/VELK";
    for (const fs::path& gone : {data / "xml", data / "cfg", data / "sdx", root / "sdx-src", root / "tools",
                                 root / "make_sdx.sh", root / "README.md"})
        fs::remove_all(gone);
}

}  // namespace

SyntheticWorld WriteSyntheticWorld(const fs::path& root, const SyntheticWorldOptions& options)
{
    SyntheticWorld world;
    world.root = root;
    CopyInstallation(root);

    int32_t left = std::max(options.objectCount, 0);
    std::vector<int32_t> sizes;
    for (int32_t size : options.referenceSizes) {
        sizes.push_back(std::min(size, left));
        left -= sizes.back();
    }
    while (left > 0) {
        sizes.push_back(std::min(std::max(options.airportSize, 1), left));
        left -= sizes.back();
    }
    for (size_t i = 0; i < sizes.size(); ++i) {
        SyntheticAirport airport;
        airport.icao = AirportCode(static_cast<int32_t>(i));
        airport.latitude = kGridLatitude + static_cast<double>(i / kGridColumns) * kGridLatitudeStep;
        airport.longitude = kGridLongitude + static_cast<double>(i % kGridColumns) * kGridLongitudeStep;
        airport.objects = sizes[i];
        world.airports.push_back(airport);
    }

    const fs::path folder = root / "c/ProgramData/Quorvath/VELK/xml/SYNTH";
    fs::create_directories(folder);
    const int32_t files = std::max(options.fileCount, 1);
    const int32_t perFile = (options.objectCount + files - 1) / files;
    std::string text;
    int32_t inFile = 0;
    auto flush = [&]() {
        if (text.empty()) return;
        text += "</VELK>\n";
        char name[32];
        std::snprintf(name, sizeof(name), "SYNTH_%03zu.xml", world.placementFiles.size() + 1);
        const fs::path path = folder / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) throw std::runtime_error("cannot write " + path.string());
        world.placementFiles.push_back(path);
        world.bytes += text.size();
        text.clear();
        inFile = 0;
    };
    for (SyntheticAirport& airport : world.airports) {
        AirportWriter writer(airport);
        while (!writer.Done()) {
            if (inFile >= perFile && static_cast<int32_t>(world.placementFiles.size()) < files - 1) flush();
            if (text.empty()) {
                text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Synthetic benchmark world. -->\n<VELK>\n"
                       "  <SimBubbleUpdateProtectionZone Lat=\"" +
                       Number(airport.latitude) + "\" Lon=\"" + Number(airport.longitude) + "\"/>\n";
                ++world.zones;
            }
            Piece piece = writer.Next();
            text += piece.text;
            inFile += piece.objects;
            world.objects += piece.objects;
            world.probes += piece.probes;
        }
    }
    flush();
    return world;
}

TempWorldRoot::TempWorldRoot()
{
    std::string pattern = "/tmp/velk-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary machine root");
    root_ = pattern;
    if (const char* old = getenv("VELK_MACHINE_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("VELK_MACHINE_ROOT", root_.c_str(), 1);
}

TempWorldRoot::~TempWorldRoot()
{
    if (hadPrevious_) setenv("VELK_MACHINE_ROOT", previous_.c_str(), 1);
    else unsetenv("VELK_MACHINE_ROOT");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

}  // namespace bench
