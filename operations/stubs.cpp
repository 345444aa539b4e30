// Placeholder bodies until the operations are written.
#include "operations/handlers.h"

namespace qv::ops {

void SetBusy(Context&, bool) {}
void tmrBusyTimer(Context&) {}
void btnScanClick(Context&) {}
void btnReadCardClick(Context&) {}
void tmrCardTimer(Context&) {}
void btnIDClick(Context&) {}
void btnBaudRateClick(Context&) {}
void btnFactoryClick(Context&) {}
void btnResetClick(Context&) {}
void sbIDChange(Context&) {}
void cmbBaudRateCloseUp(Context&) {}
void btnSameCardClick(Context&) {}
void btnSameCard2Click(Context&) {}
void btnGetSameCardClick(Context&) {}
void btnGetSameCard2Click(Context&) {}
void btnNoNcClick(Context&) {}
void btnGetNoNcClick(Context&) {}
void btnModeClick(Context&) {}
void btnGetModeClick(Context&) {}
void btnSerID2Click(Context&) {}
void btnGetID2Click(Context&) {}
void sbSameCardChange(Context&) {}
void sbSameCard2Change(Context&) {}
void sbID2Change(Context&) {}
void btnSetRSSIClick(Context&) {}
void btnGetRSSIClick(Context&) {}
void btnBeepOnClick(Context&) {}
void btnBeepOffClick(Context&) {}
void btnGainClick(Context&) {}
void btnSetExciterIDClick(Context&) {}
void btnGetExciterIDClick(Context&) {}
void btnAddrClick(Context&) {}
void btnFreqClick(Context&) {}
void btnChannelClick(Context&) {}
void sbRSSIChange(Context&) {}
void sbGainLevelChange(Context&) {}
void sbExciterID1Change(Context&) {}
void sbExciterID2Change(Context&) {}
void sbAddrChange(Context&) {}
void sbFreqChange(Context&) {}
void sbChannelChange(Context&) {}
void btnSetRLClick(Context&) {}
void btnGetRLClick(Context&) {}
void sbRL1Change(Context&) {}
void sbRL2Change(Context&) {}

} // namespace qv::ops
