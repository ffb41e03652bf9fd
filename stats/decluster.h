// Gardner-Knopoff window declustering (Gardner & Knopoff 1974): each event,
// largest first, that no earlier cluster took becomes a mainshock and takes
// the free events within its distance and time windows.
#pragma once

#include <cstdint>
#include <vector>

enum class ClusterRole : uint8_t { mainshock, aftershock, foreshock };

struct DeclusterEvent {
    double time = 0.0;  // seconds, UTC
    double latitude = 0.0;
    double longitude = 0.0;
    double magnitude = 0.0;
};

struct Declustering {
    std::vector<uint32_t> cluster;  // per event, 1-based in mainshock order
    std::vector<ClusterRole> role;
    std::vector<uint32_t> mainshocks;  // the event of each cluster, cluster k at k - 1
    std::vector<uint32_t> sizes;       // events in each cluster, mainshock included
};

// Window sizes for magnitude M: L(M) = 10^(0.1238 M + 0.983) km, and T(M) =
// 10^(0.032 M + 2.7389) days from M 6.5 up, else 10^(0.5409 M - 0.547).
double window_km(double magnitude);
double window_days(double magnitude);

// Events in any order (ties of magnitude go to the earlier, then to the one
// given first). An event joins a mainshock's cluster when its epicentre is
// within L of the mainshock's on a sphere of 6371 km and its time t lies in
// [t_main, t_main + T] (an aftershock) or [t_main - F T, t_main) (a
// foreshock), with F = `foreshocks` from 0 to 1.
Declustering decluster(const std::vector<DeclusterEvent>& events, double foreshocks);

// Great-circle distance in km on the sphere of 6371 km.
double epicentral_km(double lat1, double lon1, double lat2, double lon2);
