#pragma once
// The built-in table of 18 public time servers, in table order. Titles are the
// product's, blanks included; every row is a built-in entry (m_bUserAdded 0). The
// addresses are public NTP servers in the form the table gives (dotted IPv4 or host name);
// tests never contact them.

#include <array>
#include <cstddef>
#include <string_view>

class CTimeServerList;

struct DefaultServerRow {
    std::string_view title;
    std::string_view address;
};

inline constexpr std::size_t kDefaultServerCount = 18;

inline constexpr std::array<DefaultServerRow, kDefaultServerCount> kDefaultServers{{
    {"USA. NIST, Gaithersburg, Maryland - 1", "129.6.15.28"},         // time-a-g.nist.gov
    {"USA. NIST, Gaithersburg, Maryland - 2", "129.6.15.29"},         // time-b-g.nist.gov
    {"USA. NIST, Boulder, Colorado -1", "132.163.96.1"},              // time-a-b.nist.gov
    {"USA. NIST, Boulder, Colorado -2", "132.163.96.2"},              // time-b-b.nist.gov
    {"USA. NIST, Boulder, Colorado -3", "132.163.96.3"},              // time-c-b.nist.gov
    {"USA. University of Colorado, Boulder", "128.138.140.44"},       // utcnist.colorado.edu
    {"USA. Microsoft, Redmond, Washington", "131.107.13.100"},        // time-nw.nist.gov
    {"USA. Abovnet, Virginia", "216.200.93.8"},                       // nist1-dc (Abovenet)
    {"Australia. The University of Melbourne", "128.250.36.2"},       // ntp.cs.mu.oz.au
    {"Chile.     Universidad de Chile. Santiago", "146.83.183.179"},  // ntp.dgf.uchile.cl
    {"France.    Observatoire de Paris (stratum 2)", "ntp.obspm.fr"},
    {"Germany.   Technische Universitaet Berlin - 1", "130.149.17.21"},  // ntps1-0.cs.tu-berlin.de
    {"Germany.   Technische Universitaet Berlin - 2", "130.149.17.8"},   // ntps1-1.cs.tu-berlin.de
    {"Italy.     IEN Galileo Ferraris, Torino", "193.204.114.232"},      // ntp1.inrim.it (time.ien.it)
    {"Japan.     Fukuoka university", "clock.nc.fukuoka-u.ac.jp"},
    {"Norway.    University of Tromsoe", "time.service.uit.no"},
    {"Sweden.    Stupi AB, Stockholm", "192.36.143.150"},                    // time1.stupi.se
    {"Switzerland. Integrated Systems Laboratory. Zurich", "129.132.2.21"},  // swisstime.ethz.ch
}};

// Appends the 18 rows in table order, each with m_bUserAdded 0.
void AppendDefaultServers(CTimeServerList& list);
