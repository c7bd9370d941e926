// The stand-in's world: the user aircraft on its scripted path and the AI objects clients
// created, with the simulation variables a data definition can name. Guarded by the server's
// world mutex; nothing here locks.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "standin_scenario.h"

namespace p3d {

// Light bits of "LIGHT STATES".
enum LightBit : std::uint64_t {
  kLightNav = 0x1,
  kLightBeacon = 0x2,
  kLightLanding = 0x4,
  kLightTaxi = 0x8,
  kLightStrobe = 0x10,
  kLightLogo = 0x100,
  kLightCabin = 0x200,
  kLightAll = 0x3FF,
};

struct SimObject {
  std::uint32_t id = 0;
  bool isUser = false;
  int ownerClient = 0;  // the client that created it (0 for the user aircraft)
  std::string title;
  std::string atcId;
  std::string atcModel;
  double lat = 0, lon = 0, altFt = 0;                  // degrees, feet
  double pitchRad = 0, bankRad = 0, headingRad = 0;
  double verticalSpeedFps = 0, trueAirspeedKt = 0, groundSpeedKt = 0;
  bool onGround = true;
  std::uint64_t lights = 0;
  bool freezeLatLon = false, freezeAltitude = false, freezeAttitude = false;
  double spoilersPct = 0, throttle1Pct = 0, throttle2Pct = 0;
  std::uint32_t flaps = 0, gear = 1;
  bool enginesRunning = false;
  bool aiControlled = true;  // cleared by AIReleaseControl
  std::string flightPlan;
  StaticCg cg;
  std::uint64_t positionUpdates = 0;  // SetDataOnSimObject count
};

// One entry of a data definition as a client declared it.
struct Datum {
  std::string name;
  std::string units;
  std::uint32_t dataType = 0;
};

// Checks that a variable exists, takes the units and fits the data type; returns the
// exception code and parameter index on refusal.
struct DatumCheck {
  std::uint32_t exception = 0;  // 0: accepted
  std::uint32_t index = 0;
  std::string reason;
};
DatumCheck gf_checkDatum(const Datum& d);

// Byte size of a datum of this type (0 for STRINGV, which varies).
std::size_t gf_datumSize(std::uint32_t dataType);

class World {
 public:
  explicit World(Scenario scenario);

  const Scenario& scenario() const { return m_scenario; }
  Scenario& scenario() { return m_scenario; }
  // Moves the user aircraft along its path; t in seconds since the stand-in started.
  void advance(double t);
  double now() const { return m_now; }

  SimObject& user() { return m_objects.at(m_scenario.userObjectId); }
  SimObject* find(std::uint32_t id);  // 0 means the user aircraft
  const std::map<std::uint32_t, SimObject>& objects() const { return m_objects; }

  SimObject& create(const std::string& title, const std::string& tail, const double pos[6],
                    bool onGround, double airspeedKt, int owner);
  bool remove(std::uint32_t id);
  std::vector<std::uint32_t> removeOwnedBy(int owner);

  // Objects of a type within radius metres of the user aircraft, the user first.
  std::vector<std::uint32_t> objectsWithin(double radiusMetres, std::uint32_t objectType);

  // Appends the record of a definition for one object.
  void encode(const SimObject& o, const std::vector<Datum>& def, std::vector<std::uint8_t>& out);
  // Applies a record to an object; false when its size does not match the definition.
  bool apply(SimObject& o, const std::vector<Datum>& def, std::span<const std::uint8_t> record);
  // Record size of a definition, or 0 when it holds a STRINGV.
  static std::size_t recordSize(const std::vector<Datum>& def);

  // A client event by its simulator name; false for an unknown name.
  bool applyEvent(SimObject& o, const std::string& eventName, std::uint32_t data);

  // Installed titles (lowercase); empty set = every title is installed.
  std::set<std::string> installedTitles;
  int refusalsLeft = 0;

 private:
  double readVar(const SimObject& o, const std::string& name) const;
  std::string readText(const SimObject& o, const std::string& name) const;
  void writeVar(SimObject& o, const std::string& name, double value);

  Scenario m_scenario;
  std::map<std::uint32_t, SimObject> m_objects;
  std::uint32_t m_nextId;
  double m_now = 0;
};

std::string gf_lower(std::string s);

}  // namespace p3d
