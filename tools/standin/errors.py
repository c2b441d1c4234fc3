"""SQL Server errors as the stand-in raises them: number, severity, text and how far each one reaches."""

# How far an error reaches once it is raised while a statement runs.
STATEMENT = "statement"   # the statement ends, the batch goes on with the next statement
SCOPE = "scope"           # the batch (or the sp_executesql / EXEC() text that raised it) ends
BATCH = "batch"           # the whole request ends, also from inside sp_executesql
COMPILE = "compile"       # found before the batch runs: nothing of the batch runs

# number: (severity, text, reach). Texts use %s for each argument, in order.
MESSAGES = {
    102: (15, "Incorrect syntax near '%s'.", COMPILE),
    105: (15, "Unclosed quotation mark after the character string '%s'.", COMPILE),
    109: (15, "There are more columns in the INSERT statement than values specified in the VALUES clause. "
              "The number of values in the VALUES clause must match the number of columns specified in the "
              "INSERT statement.", COMPILE),
    110: (15, "There are fewer columns in the INSERT statement than values specified in the VALUES clause. "
              "The number of values in the VALUES clause must match the number of columns specified in the "
              "INSERT statement.", COMPILE),
    113: (15, "Missing end comment mark '*/'.", COMPILE),
    119: (15, "Must pass parameter number %s and subsequent parameters as '@name = value'. After the form "
              "'@name = value' has been used, all subsequent parameters must be passed in the form "
              "'@name = value'.", STATEMENT),
    1001: (16, "Line %s: Length or precision value %s is invalid.", COMPILE),
    131: (15, "The size (%s) given to the column '%s' exceeds the maximum allowed for any data type (8000).",
          COMPILE),
    259: (16, "Ad hoc updates to system catalogs are not allowed.", STATEMENT),
    512: (16, "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, "
              "<= , >, >= or when the subquery is used as an expression.", STATEMENT),
    272: (16, "Cannot update a timestamp column.", STATEMENT),
    273: (16, "Cannot insert an explicit value into a timestamp column. Use INSERT with a column list to exclude "
              "the timestamp column, or insert a DEFAULT into the timestamp column.", STATEMENT),
    2738: (16, "A table can only have one timestamp column. Because table '%s' already has one, the column '%s' "
               "cannot be added.", STATEMENT),
    2749: (16, "Identity column '%s' must be of data type int, bigint, smallint, tinyint, or decimal or numeric "
               "with a scale of 0, and constrained to be nonnullable.", STATEMENT),
    2760: (16, "The specified schema name \"%s\" either does not exist or you do not have permission to use it.",
           STATEMENT),
    924: (14, "Database '%s' is already open and can only have one user at a time.", SCOPE),
    5011: (14, "User does not have permission to alter database '%s', the database does not exist, or the "
               "database is not in a state that allows access checks.", STATEMENT),
    5058: (16, "Option '%s' cannot be set in database '%s'.", STATEMENT),
    5064: (16, "Changes to the state or options of database '%s' cannot be made at this time. The database "
               "is in single-user mode, and a user is currently connected to it.", STATEMENT),
    5070: (16, "Database state cannot be changed while other users are using the database '%s'", STATEMENT),
    3708: (16, "Cannot drop the database '%s' because it is a system database.", STATEMENT),
    3728: (16, "'%s' is not a constraint.", STATEMENT),
    3729: (16, "Cannot drop the login '%s', because it is currently logged in.", STATEMENT),
    4901: (16, "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT "
               "definition specified, or the column being added is an identity or timestamp column, or "
               "alternatively if none of the previous conditions are satisfied the table must be empty to "
               "allow addition of this column. Column '%s' cannot be added to non-empty table '%s' because "
               "it does not satisfy these conditions.", STATEMENT),
    4902: (16, "Cannot find the object \"%s\" because it does not exist or you do not have permissions.",
           STATEMENT),
    8102: (16, "Cannot update identity column '%s'.", STATEMENT),
    8162: (16, "The formal parameter \"%s\" was not declared as an OUTPUT parameter, but the actual parameter "
               "passed in requested output.", STATEMENT),
    15002: (16, "The procedure '%s' cannot be executed within a transaction.", STATEMENT),
    134: (15, "The variable name '%s' has already been declared. Variable names must be unique within a "
              "query batch or stored procedure.", COMPILE),
    137: (15, "Must declare the scalar variable \"%s\".", COMPILE),
    156: (15, "Incorrect syntax near the keyword '%s'.", COMPILE),
    174: (15, "The %s function requires %s argument(s).", COMPILE),
    195: (15, "'%s' is not a recognized %s.", COMPILE),
    201: (16, "Procedure or function '%s' expects parameter '%s', which was not supplied.", STATEMENT),
    206: (16, "Operand type clash: %s is incompatible with %s", STATEMENT),
    207: (16, "Invalid column name '%s'.", SCOPE),
    208: (16, "Invalid object name '%s'.", SCOPE),
    209: (16, "Ambiguous column name '%s'.", SCOPE),
    213: (16, "Column name or number of supplied values does not match table definition.", SCOPE),
    241: (16, "Conversion failed when converting date and/or time from character string.", BATCH),
    245: (16, "Conversion failed when converting the %s value '%s' to data type %s.", BATCH),
    262: (14, "%s permission denied in database '%s'.", STATEMENT),
    229: (14, "The %s permission was denied on the object '%s', database '%s', schema '%s'.", STATEMENT),
    15023: (16, "User, group, or role '%s' already exists in the current database.", STATEMENT),
    15063: (16, "The login already has an account under a different user name.", STATEMENT),
    264: (16, "The column name '%s' is specified more than once in the SET clause or column list of an "
              "INSERT. A column cannot be assigned more than one value in the same clause. Modify the "
              "clause to make sure that a column is updated only once. If this statement updates or "
              "inserts columns into a view, column aliasing can conceal the duplication in your code.",
         STATEMENT),
    515: (16, "Cannot insert the value NULL into column '%s', table '%s'; column does not allow nulls. "
              "%s fails.", STATEMENT),
    529: (16, "Explicit conversion from data type %s to %s is not allowed.", STATEMENT),
    544: (16, "Cannot insert explicit value for identity column in table '%s' when IDENTITY_INSERT is set "
              "to OFF.", STATEMENT),
    911: (16, "Database '%s' does not exist. Make sure that the name is entered correctly.", SCOPE),
    916: (14, "The server principal \"%s\" is not able to access the database \"%s\" under the current "
              "security context.", SCOPE),
    1088: (16, "Cannot find the object \"%s\" because it does not exist or you do not have permissions.",
           STATEMENT),
    1505: (16, "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object "
               "name '%s' and the index name '%s'. The duplicate key value is (%s).", STATEMENT),
    1709: (16, "Cannot use TEXTIMAGE_ON when a table has no text, ntext, image, varchar(max), nvarchar(max), "
               "non-FILESTREAM varbinary(max), xml or large CLR type columns.", STATEMENT),
    1750: (16, "Could not create constraint or index. See previous errors.", STATEMENT),
    1752: (16, "Column '%s' in table '%s' is invalid for creating a default constraint.", STATEMENT),
    1779: (16, "Table '%s' already has a primary key defined on it.", STATEMENT),
    1781: (16, "Column already has a DEFAULT bound to it.", STATEMENT),
    1801: (16, "Database '%s' already exists. Choose a different database name.", STATEMENT),
    1902: (16, "Cannot create more than one clustered index on table '%s'. Drop the existing clustered index "
               "'%s' before creating another.", STATEMENT),
    1911: (16, "Column name '%s' does not exist in the target table or view.", STATEMENT),
    1913: (16, "The operation failed because an index or statistics with name '%s' already exists on table "
               "'%s'.", STATEMENT),
    1921: (16, "Invalid filegroup '%s' specified.", STATEMENT),
    2601: (14, "Cannot insert duplicate key row in object '%s' with unique index '%s'. The duplicate key "
               "value is (%s).", STATEMENT),
    2627: (14, "Violation of %s constraint '%s'. Cannot insert duplicate key in object '%s'. The duplicate "
               "key value is (%s).", STATEMENT),
    2628: (16, "String or binary data would be truncated in table '%s', column '%s'. Truncated value: '%s'.",
           STATEMENT),
    2705: (16, "Column names in each table must be unique. Column name '%s' in table '%s' is specified more "
               "than once.", STATEMENT),
    2716: (16, "Column, parameter, or variable #%s: Cannot specify a column width on data type %s.", COMPILE),
    2750: (16, "Column or parameter #%s: Specified column precision %s is greater than the maximum precision of %s.",
           COMPILE),
    2751: (16, "Column or parameter #%s: Specified column scale %s is greater than the specified precision of %s.",
           COMPILE),
    1002: (16, "Line %s: Specified scale %s is invalid.", COMPILE),
    2715: (16, "Column, parameter, or variable #%s: Cannot find data type %s.", COMPILE),
    2714: (16, "There is already an object named '%s' in the database.", STATEMENT),
    2744: (16, "Multiple identity columns specified for table '%s'. Only one identity column per table is "
               "allowed.", STATEMENT),
    2812: (16, "Could not find stored procedure '%s'.", STATEMENT),
    3701: (11, "Cannot drop the %s '%s', because it does not exist or you do not have permission.", STATEMENT),
    3702: (16, "Cannot drop database \"%s\" because it is currently in use.", STATEMENT),
    4060: (11, "Cannot open database \"%s\" requested by the login. The login failed.", STATEMENT),
    4064: (11, "Cannot open user default database. Login failed.", STATEMENT),
    5701: (0, "Changed database context to '%s'.", STATEMENT),
    5703: (0, "Changed language setting to %s.", STATEMENT),
    8004: (16, "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream is incorrect. "
               "The RPC name is invalid.", STATEMENT),
    8005: (16, "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream is incorrect. "
               "Parameter %s: The parameter name is invalid.", STATEMENT),
    8009: (16, "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream is incorrect. "
               "Parameter %s (\"%s\"): Data type 0x%s is unknown.", STATEMENT),
    8016: (16, "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol stream is incorrect. "
               "Parameter %s (\"%s\"): Data type 0x%s has an invalid data length or metadata length.", STATEMENT),
    8169: (16, "Conversion failed when converting from a character string to uniqueidentifier.", BATCH),
    8101: (16, "An explicit value for the identity column in table '%s' can only be specified when a column "
               "list is used and IDENTITY_INSERT is ON.", STATEMENT),
    8111: (16, "Cannot define PRIMARY KEY constraint on nullable column in table '%s'.", STATEMENT),
    8114: (16, "Error converting data type %s to %s.", BATCH),
    8115: (16, "Arithmetic overflow error converting %s to data type %s.", STATEMENT),
    8120: (16, "Column '%s' is invalid in the select list because it is not contained in either an aggregate "
               "function or the GROUP BY clause.", SCOPE),
    8134: (16, "Divide by zero error encountered.", STATEMENT),
    8144: (16, "Procedure or function %s has too many arguments specified.", STATEMENT),
    8145: (16, "%s is not a parameter for procedure %s.", STATEMENT),
    8179: (16, "Could not find prepared statement with handle %s.", STATEMENT),
    15007: (16, "'%s' is not a valid login or you do not have permission.", STATEMENT),
    15010: (16, "The database '%s' does not exist. Supply a valid database name. To see available databases, "
                "use sys.databases.", STATEMENT),
    15025: (16, "The server principal '%s' already exists.", STATEMENT),
    15033: (16, "'%s' is not a valid official language name.", STATEMENT),
    15118: (16, "Password validation failed. The password does not meet the operating system policy "
                "requirements because it is not complex enough.", STATEMENT),
    15405: (11, "Cannot use the special principal '%s'.", STATEMENT),
    15151: (16, "Cannot %s the %s '%s', because it does not exist or you do not have permission.", STATEMENT),
    15247: (16, "User does not have permission to perform this action.", STATEMENT),
    15401: (11, "Windows NT user or group '%s' not found. Check the name again.", STATEMENT),
    18456: (14, "Login failed for user '%s'.", STATEMENT),
    18470: (14, "Login failed for user '%s'. Reason: The account is disabled.", STATEMENT),
    15211: (16, "Old (current) password incorrect for user. The password was not changed.", STATEMENT),
    40517: (16, "Keyword or statement option '%s' is not supported in this version of SQL Server.", COMPILE),
    50000: (16, "%s", STATEMENT),
}


# The state SQL Server gives an error where it is not 1: the same number can come from several places in
# the engine, and the state tells them apart. Clients log it; where Microsoft's pages show an error with
# its state, the README names the page.
STATES = {
    137: 2,       # undeclared variable
    195: 10,      # unknown built-in function
    201: 4,       # missing procedure argument
    515: 2,       # NULL into a NOT NULL column
    1750: 0,      # follows 1779, 2714, ... for a constraint
    1779: 0,
    1801: 3,      # CREATE DATABASE of an existing name
    2714: 6,      # object name taken
    2715: 6,      # unknown type
    2812: 62,     # unknown procedure
    229: 5,       # object permission denied
    3701: 5,      # DROP of a missing object
    3702: 4,      # DROP DATABASE in use
    8115: 2,      # arithmetic overflow
    8144: 2,      # too many procedure arguments
}


class SqlError(Exception):
    """An error the server reports to the client. reach tells how much of the batch it ends."""

    def __init__(self, number, *args, severity=None, state=None, reach=None, text=None, line=None, proc="",
                 also=()):
        sev, template, default_reach = MESSAGES.get(number, (16, "%s", STATEMENT))
        if text is None:
            text = template % tuple(args) if args or "%s" not in template else template
        super().__init__(text)
        self.number = number
        self.severity = sev if severity is None else severity
        self.state = STATES.get(number, 1) if state is None else state
        self.text = text
        self.reach = default_reach if reach is None else reach
        self.line = line
        self.proc = proc
        self.also = list(also)    # errors SQL Server reports right after this one (1750 after 2714, ...)

    def __repr__(self):
        return "SqlError(%d, %r)" % (self.number, self.text)


def syntax_error(token_text, is_keyword=False, line=None):
    if is_keyword:
        return SqlError(156, token_text, line=line)
    return SqlError(102, token_text, line=line)
