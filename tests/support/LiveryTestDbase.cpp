#include "support/LiveryTestDbase.h"

#include <stdexcept>

#include "liveries/AircraftDatabase.h"

namespace zelk::test {

std::string liveryTestDbaseXml()
{
    return R"(<root>
  <aircrafts><aircraft types="A320,A20N,B738,B744,C172,C208,FDCT,B748"/></aircrafts>
  <cargo_types><cargo_type types="B74F"/></cargo_types>
  <heavy><hvy types="B744,B748"/></heavy>
  <large><lar types="A320,A20N,B738"/></large>
  <buzjet><bzj types=""/></buzjet>
  <twoprops><tpr types=""/></twoprops>
  <high_performance><hpf types=""/></high_performance>
  <rotorcraft><rot types=""/></rotorcraft>
  <ICAO_airlines><ICAO codes="DLH,KLM,BAW,EZY,AFR,UPS,PVT,ZZZ"/></ICAO_airlines>
  <cargo_operators><ICAO codes="UPS"/></cargo_operators>
  <fixes><fx wro="B73H" cor="B738"/></fixes>
  <dbase>
    <d r="D-AIBA" a="DLH" m="A320"/>
    <d r="PH-BXA" a="KLM" m="B738"/>
    <d r="G-CIVA" a="BAW" m="B744"/>
    <d r="D-EFG" a="" m="C172"/>
    <d r="F-GZZZ" a="AFR" m=""/>
  </dbase>
</root>)";
}

void loadLiveryTestDbase()
{
    std::string xml = liveryTestDbaseXml();
    if (!gf_readDbaseFromBuffer(xml.data(), xml.size(), "livery test dbase"))
        throw std::runtime_error("the livery test database does not read");
}

} // namespace zelk::test
