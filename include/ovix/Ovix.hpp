#pragma once

// The Ovix in-feed advertising SDK.
#include "ovix/Logging.hpp"
#include "ovix/OvixAdInfo.hpp"
#include "ovix/OvixInfeed.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/OvixRequest.hpp"
#include "ovix/platform/AdSupport.hpp"
#include "ovix/platform/Bundle.hpp"
#include "ovix/platform/Device.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "ovix/platform/Error.hpp"
#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/HttpResponse.hpp"
#include "ovix/platform/Network.hpp"
#include "ovix/platform/UserAgent.hpp"
