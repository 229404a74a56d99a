#include "common/Services.h"

Services::Services(Platform platform) : platform_(std::move(platform)) {}

Services::~Services() {
    while (!instances_.empty())
        instances_.pop_back();
}
