// The object that owns the tests' precompiled headers (pch.h).
