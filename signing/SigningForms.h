// The signing plug-in's forms of the helpers that differ between the plug-ins.
#pragma once

#include "PluginForms.h"

using SigningForm::Base64EncodeEx;
using SigningForm::ConvertBinaryDataToString;
using SigningForm::SM2EncodeRawSignature;
