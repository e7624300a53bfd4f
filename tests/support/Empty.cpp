// The test doubles are header-only; this file keeps the support library non-empty.
