#include "platform/core/classes.h"

void TPersistent::AssignTo(TPersistent& Dest) {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName());
}

void TPersistent::Assign(TPersistent& Source) {
  Source.AssignTo(*this);
}
