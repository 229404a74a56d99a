#include "common/Services.h"

Services::Services(Platform platform) : platform_(std::move(platform)) {}

Services::~Services() = default;
