#pragma once
// The reader operations behind the main window's buttons, scroll bars and timers. The window's
// slots (Tu::btnScanClick ...) call these with the window's context.

#include "operations/context.h"

namespace qv::ops {

// Busy state and lamps shared by discovery and tag reading.
void SetBusy(Context& ctx, bool on);
void tmrBusyTimer(Context& ctx);

// Discovery.
void btnScanClick(Context& ctx);

// Tag reading.
void btnReadCardClick(Context& ctx);
void tmrCardTimer(Context& ctx);

// Identity and link settings.
void btnIDClick(Context& ctx);
void btnBaudRateClick(Context& ctx);
void btnFactoryClick(Context& ctx);
void btnResetClick(Context& ctx);
void sbIDChange(Context& ctx);
void cmbBaudRateCloseUp(Context& ctx);

// Card rules and operating mode.
void btnSameCardClick(Context& ctx);
void btnSameCard2Click(Context& ctx);
void btnGetSameCardClick(Context& ctx);
void btnGetSameCard2Click(Context& ctx);
void btnNoNcClick(Context& ctx);
void btnGetNoNcClick(Context& ctx);
void btnModeClick(Context& ctx);
void btnGetModeClick(Context& ctx);
void btnSerID2Click(Context& ctx);
void btnGetID2Click(Context& ctx);
void sbSameCardChange(Context& ctx);
void sbSameCard2Change(Context& ctx);
void sbID2Change(Context& ctx);

// Radio and signal settings.
void btnSetRSSIClick(Context& ctx);
void btnGetRSSIClick(Context& ctx);
void btnBeepOnClick(Context& ctx);
void btnBeepOffClick(Context& ctx);
void btnGainClick(Context& ctx);
void btnSetExciterIDClick(Context& ctx);
void btnGetExciterIDClick(Context& ctx);
void btnAddrClick(Context& ctx);
void btnFreqClick(Context& ctx);
void btnChannelClick(Context& ctx);
void sbRSSIChange(Context& ctx);
void sbGainLevelChange(Context& ctx);
void sbExciterID1Change(Context& ctx);
void sbExciterID2Change(Context& ctx);
void sbAddrChange(Context& ctx);
void sbFreqChange(Context& ctx);
void sbChannelChange(Context& ctx);

// Relay settings.
void btnSetRLClick(Context& ctx);
void btnGetRLClick(Context& ctx);
void sbRL1Change(Context& ctx);
void sbRL2Change(Context& ctx);

} // namespace qv::ops
