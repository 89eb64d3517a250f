// The libcurl implementation of HttpRequestComponent, for code that needs a setting the interface
// does not offer (tests trust a certification authority of their own through it).
#pragma once

#include <memory>
#include <string>

#include "platform/http_request_component.h"

namespace morvane {

struct CurlComponentSettings {
  std::string extraCaFile;  // PEM file trusted besides the system's store; empty: none
};

// Null when libcurl cannot make an easy handle.
std::shared_ptr<HttpRequestComponent> CreateCurlHttpRequestComponent(
    const CurlComponentSettings& settings = {});

}  // namespace morvane
