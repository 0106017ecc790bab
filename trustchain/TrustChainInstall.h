// The body of each plug-in's NP_Install: removes the authority's discarded certificates,
// then installs the chains the plug-in carries. Every step is traced; nothing is returned.
// The caller provides COM on the thread and administrator rights.
#pragma once

void InstallSigningTrustChains();
void InstallEnrollmentTrustChains();
