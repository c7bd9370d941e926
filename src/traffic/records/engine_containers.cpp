// The engine's containers of aircraft, queued removals, static-parking candidates and the
// per-aircraft learning slots, the keys for the shell's duplicate checks and the range request's
// pace. Created empty at program start; worker thread only.
#include "traffic/records/records.h"

std::vector<AiAircraft> g_liveAc;
std::vector<StaticAircraft> g_staticAc;
std::deque<std::uint32_t> g_removeWait;
std::deque<CreateAcRequest> g_liveCreateWait;
std::deque<CreateAcRequest> g_staticCreateWait;
std::vector<StaticCandidate> g_staticCandidates;
std::vector<std::pair<std::uint32_t, std::uint32_t>> g_parkedKeySlots;
std::set<std::string> g_liveCallsignsSeen;
bool g_learnSoftAllowed = false;
std::deque<std::uint32_t> g_newLiveIds;
bool g_fastRangeRequest = false;
std::vector<std::uint32_t> g_liveToCreate;
std::vector<SimObjectNotice> g_lightToggles;
std::vector<std::string> g_ghostTexts;
std::set<std::string> g_refusedCallsigns;
std::vector<ParkedLive> g_parkAdjustBuffer;
std::vector<KeptStatic> g_parkOptionCandidates;
std::vector<StaticRemoval> g_staticRemovals;
