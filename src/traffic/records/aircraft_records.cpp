// Building the engine's aircraft records. Worker thread.
#include "traffic/records/aircraft_records.h"

#include <utility>

#include "foundation/geometry.h"
#include "foundation/random_pick.h"
#include "liveries/database_queries.h"

namespace {
constexpr double kRotationPitchVariationPercent = 2.5;
constexpr double kClimbPitchVariationPercent = 5.0;
}  // namespace

AircraftHead gf_initTrafficReport(const AircraftIdent& ident) {
  AircraftHead head;
  static_cast<AircraftIdent&>(head) = ident;
  head.halfWingspan = gf_wingspan(ident.type);
  head.category = gf_typeCategory(ident.type);
  const int category = static_cast<int>(head.category);
  head.rotationPitch =
      gf_randomVariation(g_catRotationPitch.at(category), kRotationPitchVariationPercent) *
      kDegToRad;
  head.climbPitch =
      gf_randomVariation(g_catClimbPitch.at(category), kClimbPitchVariationPercent) * kDegToRad;
  head.pitchRate = g_catPitchRate.at(category);
  head.flareSteps = static_cast<std::uint32_t>(g_catFlareSteps.at(category));
  head.staticCgValue = static_cast<std::uint32_t>(g_catStaticCgValue.at(category));
  head.rotationSteps = static_cast<std::uint32_t>(g_catRotationSteps.at(category));
  head.pitchTransitionSteps = static_cast<std::uint32_t>(g_catPitchTransitionSteps.at(category));
  return head;
}

StaticAircraft::StaticAircraft(AircraftHead&& head, std::uint32_t standId_, StandPlace stand,
                               bool standFlag_)
    : AircraftHead(std::move(head)), standPlace(stand), standId(standId_), standFlag(standFlag_) {}

AiAircraft::AiAircraft(const PositionReport& first, AircraftHead&& head, double lastReportTime_)
    : StaticAircraft(std::move(head), 0, StandPlace{}, false), lastReportTime(lastReportTime_) {
  stream.push_back(first);
  lastMerged = first;
  lastMergedTime = lastReportTime_;
}
