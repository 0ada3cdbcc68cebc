// Makes the cryptographic kinds known to the engine.
#pragma once

// Registers the factories of the five cryptographic kinds for CreateAction and
// gives every registry created afterwards its own key cache. Call once at
// start, before the registry is created.
void RegisterCryptoSteps();
