// A stand-in ODBC driver manager that loads but exports nothing.
