#pragma once
// The director's cues: the decisions of the parts of the engine that are not built yet, each
// named for what it decides. The live traffic engine replaces every cue with its own code and
// re-runs the replay's tracks. Worker thread (the replay's).

#include <cstdint>

#include "replay.h"
#include "traffic/traffic.h"

namespace replay {

// The director's memory of one aircraft between reports.
struct CueMemory {
  double firstStandDistanceNm = -1.0;  // of the first report after parking; < 0: none yet
};

// Decides the first phase and pose of an aircraft whose first report is nearly due: flying,
// taxiing, or parked at the stand it stands on. False while it is too early.
bool cueBirthPose(AiAircraft& a);
// The creation request of a spawned aircraft.
CreateAcRequest cueCreateRequest(const AiAircraft& a);
// The simulator identified the object: the aircraft takes its id, its ground state, its static
// CG and becomes active.
void cueIdentified(AiAircraft& a, std::uint32_t objectId);
// Merges a new report: leaving the stand, the pushback side, pushed-back to taxi, the take-off run
// start, reports that resume a predicted stream, and the report appended. False: not appended.
bool cueMergeReport(AiAircraft& a, PositionReport r, const Scenario& scenario, CueMemory& memory);
// The simulator's answer about the ground: height above ground up to 2500 ft over flat terrain
// at the field's elevation, and the ground contact that calls lf_touchdown.
void cueGroundContact(AiAircraft& a);
// Every how many steps the ground answer comes (faster while a touchdown waits).
std::int64_t cueGroundContactEvery();
// The simulator removed the object: the record leaves the engine.
void cueObjectRemoved(std::uint32_t objectId);
// The run closes: what is still in the simulator is removed, as the program's closing does.
void cueCloseRun();

}  // namespace replay
