#pragma once

void ShowManualWindow();
