#include "objects/ControllableAnimationData.h"

ControllableAnimationData::~ControllableAnimationData() = default;
