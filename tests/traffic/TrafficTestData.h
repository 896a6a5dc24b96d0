#pragma once

#include <string>

#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"

namespace zelk::test {

// A small aircraft database in the process-wide tables, so the traffic code sees
// known models, categories, cargo operators, fixes, spans and registrations.
inline void loadTrafficTestDbase()
{
    static const bool loaded = [] {
        std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<root>
<aircrafts><aircraft types="B738,A320,B777,B77F,B77W,AT76,DH8D,PA34,C172,C25C,EC35,EUFI,B789"/></aircrafts>
<cargo_types><cargo_type types="B77F"/></cargo_types>
<heavy><hvy types="B777,B77F,B77W,B789"/></heavy>
<large><lar types="B738,A320,AT76,DH8D"/></large>
<buzjet><bzj types="C25C"/></buzjet>
<twoprops><tpr types="PA34"/></twoprops>
<high_performance><hpf types="EUFI"/></high_performance>
<rotorcraft><rot types="EC35"/></rotorcraft>
<ICAO_airlines><ICAO codes="KLM,DLH,FDX,BAW"/></ICAO_airlines>
<cargo_operators><ICAO codes="FDX"/></cargo_operators>
<fixes><fx wro="B73H" cor="B738"/></fixes>
<wingspans><wingspan type="B738" meters="35.79"/><wingspan type="A320" meters="35.8"/><wingspan type="B77W" meters="64.8"/></wingspans>
<dbase><d r="PH-BXA" a="KLM" m="B738"/><d r="N123FX" a="FDX" m="B77F" c="true"/></dbase>
</root>
)";
        return gf_readDbaseFromBuffer(xml.data(), xml.size(), "traffic-test-dbase");
    }();
    (void)loaded;
}

} // namespace zelk::test
