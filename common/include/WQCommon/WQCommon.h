// The common toolkit: binary and XML serialisation, text conversion, system services and
// instrument names.
#pragma once

#include <WQCommon/Binary.h>
#include <WQCommon/Instrument.h>
#include <WQCommon/System.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
