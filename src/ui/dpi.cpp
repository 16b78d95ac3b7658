#include "ui/dpi.h"

#include "dpi_scaling.h"
#include "ui/application.h"

int Scaled(int layoutLength) { return ScaleToDpi(layoutLength, Application.Dpi()); }

int LayoutCovering(int screenPixels) { return LayoutLengthCovering(screenPixels, Application.Dpi()); }
