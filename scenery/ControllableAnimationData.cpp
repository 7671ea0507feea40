#include "scenery/ControllableAnimationData.h"

ControllableAnimationData::~ControllableAnimationData() = default;
