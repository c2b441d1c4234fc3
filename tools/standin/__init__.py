"""Kurdb's stand-in SQL Server: a TDS 7.x server with an in-memory catalog for development and tests."""
