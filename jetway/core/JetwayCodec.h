// The 5600-byte wire form of the jetway record, as both programs write it into the client-data areas
// "VELK.JetwayData.In.n" and "VELK.JetwayData.Out.n": little-endian integers, IEEE doubles, one-byte
// booleans, the class table references of the 32-bit original written as zero and ignored on reading.
#pragma once

#include "jetway/core/JetwayData.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace jetway_wire {

constexpr size_t kRecordSize = 5600;

// Inside a part (776 bytes).
constexpr size_t kPartSize = 776;
constexpr size_t kPartClassRef = 0;
constexpr size_t kPartUnnamedHead = 4;
constexpr size_t kPartObjectId = 40;
constexpr size_t kPartUnnamedFlags = 44;
constexpr size_t kPartSimTitle = 49;
constexpr size_t kPartCreationTitle = 305;
constexpr size_t kPartCreationPending = 561;
constexpr size_t kPartAfterPending = 562;
constexpr size_t kPartPlacement = 568;
constexpr size_t kPartSecondPlacement = 648;
constexpr size_t kPartOffset = 728;
constexpr size_t kPartParentObjectId = 760;
constexpr size_t kPartCreationTag = 764;
constexpr size_t kPartLinkType = 768;
constexpr size_t kPartTail = 772;
constexpr size_t kTitleSize = 256;

// Inside a placement (80 bytes): two class table references, each followed by padding to 8.
constexpr size_t kPlacementSize = 80;
constexpr size_t kPlacementLatitude = 8;
constexpr size_t kPlacementLongitude = 16;
constexpr size_t kPlacementAltitude = 24;
constexpr size_t kPlacementAttitudeRef = 32;
constexpr size_t kPlacementPitch = 40;
constexpr size_t kPlacementBank = 48;
constexpr size_t kPlacementHeading = 56;
constexpr size_t kPlacementIsAgl = 64;
constexpr size_t kPlacementIsZero = 65;
constexpr size_t kPlacementAltitudeOffset = 72;

// Inside a vector (32 bytes).
constexpr size_t kXYZSize = 32;
constexpr size_t kXYZX = 8;
constexpr size_t kXYZY = 16;
constexpr size_t kXYZZ = 24;

// The record.
constexpr size_t kParts = 0;
constexpr size_t kStateWord = 4656;
constexpr size_t kAnimationDefinitionId = 4664;
constexpr size_t kPositionDefinitionId = 4668;
constexpr size_t kJetwayObjectId = 4672;
constexpr size_t kDoneEventId = 4676;
constexpr size_t kIntermediateEventId = 4680;
constexpr size_t kClientDataAreaId = 4684;
constexpr size_t kOutChannel = 4688;
constexpr size_t kInChannel = 4692;
constexpr size_t kReportDefinitionId = 4696;
constexpr size_t kJetwayType = 4700;
constexpr size_t kRetractFirst = 4704;
constexpr size_t kLevelFirst = 4705;
constexpr size_t kSplitRotation = 4706;
constexpr size_t kAbortRequested = 4707;
constexpr size_t kMoving = 4708;
constexpr size_t kDocked = 4709;
constexpr size_t kReserved4710 = 4710;
constexpr size_t kPhase = 4712;
constexpr size_t kReserved4716 = 4716;
constexpr size_t kCurrentPose = 4720;
constexpr size_t kSavedPose = 4768;
constexpr size_t kPlacementPointCount = 4816;
constexpr size_t kReserved4820 = 4820;
constexpr size_t kPlacementPoints = 4824;
constexpr size_t kPeriodMs = 4856;
constexpr size_t kReserved4860 = 4860;
constexpr size_t kElapsedMs = 4864;
constexpr size_t kDipDurationMs = 4872;
constexpr size_t kLevelDurationMs = 4880;
constexpr size_t kRotationDurationMs = 4888;
constexpr size_t kExtensionDurationMs = 4896;
constexpr size_t kRetractDurationMs = 4904;
constexpr size_t kHeadDurationMs = 4912;
constexpr size_t kHoodDurationMs = 4920;
constexpr size_t kKeyframeCount = 4928;
constexpr size_t kReserved4932 = 4932;
constexpr size_t kRootRotationTime = 4936;
constexpr size_t kBridgeExtensionTime = 4944;
constexpr size_t kDipTime = 4952;
constexpr size_t kHeadRotationTime = 4960;
constexpr size_t kHoodTime = 4968;
constexpr size_t kBridgeLengthRange = 4976;
constexpr size_t kRootSweepRange = 4992;
constexpr size_t kBridgeDipRange = 5008;
constexpr size_t kHeadSweepRange = 5024;
constexpr size_t kLegLengthRange = 5040;
constexpr size_t kRootFloorHeight = 5056;
constexpr size_t kRootBridgeOffset = 5064;
constexpr size_t kMouthOffset = 5072;
constexpr size_t kLegOffset = 5080;
constexpr size_t kLegOffsetFromOrigin = 5088;
constexpr size_t kWheelRadius = 5096;
constexpr size_t kStairLength = 5104;
constexpr size_t kStairOffset = 5112;
constexpr size_t kStairOffsetFromOrigin = 5120;
constexpr size_t kHoodMovableHeight = 5128;
constexpr size_t kHoodWidth = 5136;
constexpr size_t kDoorHalfHeight = 5144;
constexpr size_t kDoorVerticalOffset = 5152;
constexpr size_t kDoorLateralOffset = 5160;
constexpr size_t kDoorAngle = 5168;
constexpr size_t kDoorValue4 = 5176;
constexpr size_t kDoorValue5 = 5184;
constexpr size_t kTargetExtension = 5192;
constexpr size_t kExtensionVia = 5200;
constexpr size_t kTargetRootRotation = 5208;
constexpr size_t kTargetDip = 5216;
constexpr size_t kTargetHead = 5224;
constexpr size_t kTargetLegLength = 5232;
constexpr size_t kLegLengthVia = 5240;
constexpr size_t kLegLengthLevel = 5248;
constexpr size_t kLegLengthAfterDip = 5256;
constexpr size_t kLegChannel = 5264;
constexpr size_t kExtensionChannel = 5272;
constexpr size_t kReserved5280 = 5280;
constexpr size_t kRotationChannel = 5288;
constexpr size_t kDipChannel = 5296;
constexpr size_t kStairChannel = 5304;
constexpr size_t kHoodChannel = 5312;
constexpr size_t kHeadChannel = 5320;
constexpr size_t kWheelChannel = 5328;
constexpr size_t kPartExtension = 5336;
constexpr size_t kReserved5344 = 5344;
constexpr size_t kPartRotation = 5352;
constexpr size_t kPartDip = 5360;
constexpr size_t kPartHead = 5368;
constexpr size_t kWheelRunning = 5376;
constexpr size_t kMainProgramFlag = 5377;
constexpr size_t kReserved5378 = 5378;
constexpr size_t kIncrements = 5384;
constexpr size_t kIncrementCount = 23;
constexpr size_t kJetwayLatitude = 5568;
constexpr size_t kJetwayLongitude = 5576;
constexpr size_t kJetwayAltitude = 5584;
constexpr size_t kJetwayHeading = 5592;

// The animation record (nine doubles) and the part position record (six doubles).
constexpr size_t kAnimationRecordSize = 72;
constexpr size_t kPartPositionSize = 48;

}  // namespace jetway_wire

using JetwayBytes = std::array<uint8_t, jetway_wire::kRecordSize>;

// Writes all 5600 bytes.
void EncodeJetwayData(const JetwayData& record, uint8_t* out);
JetwayBytes EncodeJetwayData(const JetwayData& record);
// False (record untouched) when fewer than 5600 bytes are given; bytes past 5600 are ignored. Names are
// cut at their first NUL and never run past byte 255 of their field.
bool DecodeJetwayData(const uint8_t* data, size_t size, JetwayData& record);
