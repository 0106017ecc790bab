// The enrollment plug-in's forms of the helpers that differ between the plug-ins.
#pragma once

#include "PluginForms.h"

using EnrollmentForm::Base64EncodeEx;
using EnrollmentForm::ConvertBinaryDataToString;
using EnrollmentForm::SM2EncodeRawSignature;
