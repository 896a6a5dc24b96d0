#include "support/LiveryPackageTree.h"

#include <fstream>
#include <stdexcept>

#include <fmt/format.h>

#include "core/Strings.h"
#include "platform/Ansi.h"

namespace zelk::test {

namespace fs = std::filesystem;

namespace {

void lf_writeBytes(const fs::path& file, std::string_view bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string lf_utf16(std::string_view utf8, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : utf8_to_wide(utf8)) {
        const char hi = static_cast<char>(u >> 8);
        const char lo = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

void lf_cfg(const fs::path& folder, std::string_view text, CfgForm form = CfgForm::Utf8, bool crlf = true)
{
    writeAircraftCfg(folder / "aircraft.cfg", text, form, crlf);
}

void lf_aig(const fs::path& pkg)
{
    const fs::path planes = pkg / "SimObjects" / "Airplanes";
    lf_cfg(planes / "AIG_A320",
           "[VERSION]\nmajor=1\n\n[fltsim.0]\ntitle=AIG A320 Lufthansa\nicao_airline=DLH\natc_id=D-AIZA\n"
           "atc_parking_types=GATE\n; atc_id=D-AIZB\n// icao_airline=KLM\n\n"
           "[fltsim.1]\ntitle = \"AIG A320 KLM\"\nicao_airline=klmx\natc_id=PH-BXA\n"
           "[fltsim.2]\ntitle=AIG A320 Repeated\nicao_airline=EZY\nicao_airline=BAW\n"
           "[fltsim.3]\nicao_airline=DLH\n"
           "[fltsim.4]\ntitle=AIG A320 Unknown airline\nicao_airline=QQQ\n"
           "[fltsim.5]\ntitle=AIG A320 Stub-STUB\nicao_airline=DLH\natc_id=D-AIZC\n"
           "[fltsim.6]\ntitle=AIG A320 Banned\nicao_airline=AFR\n"
           "[fltsim.7]\ntitle=AIG A320 Two codes\nicao_airline=AFR\natc_id=F-HBNA, F-HBNB\n"
           "[fltsim.8]\ntitle=AIG A320 Bad code\nicao_airline=AFR\natc_id=F-*BNC\n\n"
           "[GENERAL]\nicao_type_designator=A320\nicao_airline=XXX\n");
    lf_cfg(planes / "AIG_B744F",
           "[fltsim.0]\ntitle=AIG B744 UPS\nicao_airline=UPS\natc_parking_types=RAMP_CARGO\n"
           "[fltsim.1]\ntitle=AIG B744 No airline\n"
           "[fltsim.2]\ntitle=AIG B744 BAW registration\natc_id=G-CIVA\n"
           "[general]\nicao_type_designator=B744\n",
           CfgForm::Utf16Be, false);
    lf_cfg(planes / "AIG_B73H", "[fltsim.0]\ntitle=AIG B738 Fixed KLM\nicao_airline=KLM\n"
                                "[general]\nicao_type_designator=B73H\n");
    lf_cfg(planes / "AIG_Unknown", "[fltsim.0]\ntitle=AIG Unknown model\nicao_airline=KLM\n"
                                   "[general]\nicao_type_designator=ZZ99\n");
    lf_cfg(planes / "AIG_NoModel", "[fltsim.0]\ntitle=AIG No model\nicao_airline=KLM\n");
    lf_cfg(planes / "AIG_BadNumber", "[fltsim.0]\ntitle=AIG Bad number\nicao_airline=KLM\n[fltsim.10001]\n"
                                     "[general]\nicao_type_designator=A320\n");
    lf_cfg(planes / "AIG_Empty", "[general]\nicao_type_designator=A320\n");
    // Never walked: an airport publisher's folder and a folder path of 250 bytes.
    lf_cfg(pkg / "airport-addons" / "AIG_A320", "[fltsim.0]\ntitle=AIG Airport\nicao_airline=DLH\n"
                                                "[general]\nicao_type_designator=A320\n");
    fs::path deep = planes;
    while (path_to_utf8(deep).size() < 250) deep /= "deep-folder";
    try {
        lf_cfg(deep, "[fltsim.0]\ntitle=AIG Deep\nicao_airline=DLH\n[general]\nicao_type_designator=A320\n");
    } catch (const std::exception&) {
        // A system without long paths cannot hold this folder, so no scan meets it there.
    }
}

void lf_aigBeta(const fs::path& pkg)
{
    lf_cfg(pkg / "SimObjects" / "Airplanes" / "AIG_B738",
           "[fltsim.0]\ntitle=AIG Beta B738 KLM\nicao_airline=KLM\n[general]\nicao_type_designator=B738\n");
}

void lf_fsltl(const fs::path& pkg)
{
    lf_cfg(pkg / "SimObjects" / "Airplanes" / "FSLTL_A20N",
           "[fltsim.0]\ntitle=FSLTL A20N easyJet\nicao_airline=EZY\natc_id=G-EZOA\n"
           "[fltsim.1]\ntitle=AIG A320 Lufthansa\nicao_airline=DLH\n"
           "[fltsim.2]\ntitle=FSLTL A20N Cargo gate\nicao_airline=UPS\natc_parking_types=gate, cargo\n"
           "[general]\nicao_type_designator=\"A20N\"\n",
           CfgForm::Utf16Le);
}

void lf_justFlight(const fs::path& pkg, std::string_view titlePrefix)
{
    lf_cfg(pkg / "SimObjects" / "Airplanes" / "JF_A320",
           fmt::format("[fltsim.0]\ntitle={} A320 Lufthansa Caf\xC3\xA9\nicao_airline=DLH\n"
                       "[fltsim.1]\ntitle={} A320 Air France\nicao_airline=AFR\n"
                       "[general]\nicao_type_designator=A320\n",
                       titlePrefix, titlePrefix),
           CfgForm::Ansi);
}

void lf_ivao(const fs::path& planes)
{
    const fs::path w = planes / "IVAO_B738WLfa";
    fs::create_directories(w / "texture.KLM");
    fs::create_directories(w / "Texture.ezy");
    lf_cfg(w, "[fltsim.0]\ntitle=B738W KLM Royal Dutch\ntexture=KLM\n"
              "[fltsim.1]\ntitle=\"  B738W EZY spaced  \"\ntexture=EZY\n"
              "[fltsim.2]\ntitle=B738W DLH no texture folder\ntexture=DLH\n"
              "[fltsim.3]\ntitle=B738 KLM without W\ntexture=KLM\natc_id=PH-BXA\n"
              "[COLOR]\ncolor=1\n[fltsim.4]\ntitle=B738W QQQ unknown\ntexture=KLM\n");
    const fs::path plain = planes / "IVAO_A320";
    fs::create_directories(plain / "texture");
    lf_cfg(plain, "[fltsim.0]\ntitle=A320AFR Air France\n"
                  "[fltsim.1]\ntitle=Nameless\ntexture=\"\"\natc_id=D-XXXX\n");
}

void lf_userTraffic(const fs::path& pkg)
{
    writeAircraftCfg(pkg / "SimObjects" / "Airplanes" / "C172" / "Aircraft.CFG",
                     "[FLTSIM.0]\ntitle=User C172 D-EFG private\n[fltsim.1]\ntitle=User C172 No code\n"
                     "[General]\nbase_container=\"..\\Asobo_C172sp_AS1000\"\n",
                     CfgForm::Utf8Bom, false);
    writeAircraftCfg(pkg / "SimObjects" / "Airplanes" / "C172" / "aircraft.cfg.bak",
                     "[fltsim.0]\ntitle=Backup\nicao_airline=DLH\n[general]\nicao_type_designator=A320\n",
                     CfgForm::Utf8, false);
}

} // namespace

void writeAircraftCfg(const fs::path& file, std::string_view utf8Text, CfgForm form, bool crlf)
{
    std::string text;
    for (char c : utf8Text) {
        if (c == '\n' && crlf) text += '\r';
        text += c;
    }
    switch (form) {
    case CfgForm::Utf8: break;
    case CfgForm::Utf8Bom: text = "\xEF\xBB\xBF" + text; break;
    case CfgForm::Utf16Le: text = lf_utf16(text, false); break;
    case CfgForm::Utf16Be: text = lf_utf16(text, true); break;
    case CfgForm::Ansi: text = platform::utf8ToAnsi(text); break;
    }
    lf_writeBytes(file, text);
}

fs::path buildLiveryPackageTree(const fs::path& root)
{
    const fs::path community = root / "Community";
    lf_aig(community / "x-aig-aitraffic-oci");
    lf_aigBeta(community / "aig-aitraffic-oci-beta");
    lf_aigBeta(community / "_CVT_aig-aitraffic-oci");
    lf_fsltl(community / "fsltl-traffic-base");
    lf_justFlight(community / "justflight-aircraft-traffic-fleet", "JF");
    lf_justFlight(community / "justflight-fstraffic-module", "JF Module");
    lf_ivao(community / "IVAO_MTL" / "SimObjects" / "Airplanes");
    lf_ivao(community / "csl" / "ivao_x-csl" / "SimObjects" / "Airplanes");
    lf_userTraffic(community / "user-aitraffic-mine");
    lf_cfg(community / "flytampa-airport" / "SimObjects", "[fltsim.0]\ntitle=Never\n");
    return community;
}

fs::path manualFolder(const fs::path& community, int n)
{
    switch (n) {
    case 0: return community / "justflight-fstraffic-module";
    case 1: return community / "csl";
    default: return community / "user-aitraffic-mine";
    }
}

void buildLargeLiveryTree(const fs::path& package, std::size_t files, std::size_t sectionsPerFile)
{
    static constexpr const char* kAirlines[] = {"DLH", "KLM", "BAW", "EZY", "AFR", "UPS"};
    static constexpr const char* kModels[] = {"A320", "A20N", "B738", "B744"};
    for (std::size_t f = 0; f < files; ++f) {
        std::string text = "[VERSION]\nmajor=1\nminor=0\n\n";
        for (std::size_t s = 0; s < sectionsPerFile; ++s) {
            const std::size_t n = f * sectionsPerFile + s;
            text += fmt::format("[fltsim.{}]\ntitle=AIG {} {} livery {}\nsim=AIG_{}\nmodel=\ntexture={}\n"
                                "atc_airline=Airline\natc_id=D-{:04}\natc_parking_types=GATE\n"
                                "icao_airline={}\nui_manufacturer=\"Maker\"\nui_type=\"Type\"\n"
                                "ui_variation=\"Livery {}\"\nui_createdby=\"AIG\"\ndescription=\"\"\n\n",
                                s, kModels[f % 4], kAirlines[n % 6], n, kModels[f % 4], n, n % 10000,
                                kAirlines[n % 6], n);
        }
        text += fmt::format("[GENERAL]\natc_type=\"Airbus\"\nicao_type_designator={}\nicao_manufacturer=x\n",
                            kModels[f % 4]);
        writeAircraftCfg(package / "SimObjects" / "Airplanes" / fmt::format("AIG_{:04}", f) / "aircraft.cfg", text,
                         CfgForm::Utf8, true);
    }
}

} // namespace zelk::test
