#include "ui/CommandStates.h"

TCommandStates CommandStates(const TWindowState& s) {
  const bool off = !s.TimerOn && !s.PassInFlight;
  TCommandStates c;
  c.Run = off;
  c.Stop = s.TimerOn;
  c.Save = off && !s.Saved;
  c.Load = off;
  c.GroupAdd = off;
  c.GroupDel = off && s.GroupSelected;
  c.Add = off && s.GroupSelected;
  c.Del = off && s.GroupSelected && s.StepsSelected;
  c.Change = c.Del;
  c.Editing = off;
  c.MaskListing = off && s.GroupSelected;
  c.Check = off;
  return c;
}
