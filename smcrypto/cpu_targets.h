// The hot loops get a second build for current x86-64 processors (BMI2 rotates and and-not);
// the loader picks the build the processor runs.
#pragma once

#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__)
#define SM_HOT_LOOP __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define SM_HOT_LOOP
#endif
