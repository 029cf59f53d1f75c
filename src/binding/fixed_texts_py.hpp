#pragma once
#include <string_view>

// Texts that callers match on. They are fixed by design, however odd some may
// look here (a name of another language's types, a class in a module that does
// not exist): programs compare them, and the tests pin every one that a call
// can reach. Change none.
namespace tolvi::py::fixed {

// The module every class reports as its __module__, in its PyType_Spec's name.
inline constexpr std::string_view kClassModule = "builtins";

// The internal-failure exception's class, as its qualified name.
inline constexpr const char* kPanicTypeName = "pyo3_runtime.PanicException";
// Its message for a constructor given two or more positional arguments.
inline constexpr const char* kNotImplemented = "not yet implemented";
// Its message when a name cannot be appended to a module's __all__.
inline constexpr const char* kAllAppendFailed = "could not append __name__ to __all__";
// Its message when a class's type cannot be made outside the import, before the
// class name in grave accents.
inline constexpr std::string_view kTypeNotCreated = "failed to create type object for ";

// An object read or changed while a setter changes it, and the reverse.
inline constexpr const char* kMutablyBorrowed = "Already mutably borrowed";
inline constexpr const char* kBorrowed = "Already borrowed";

// A str given where a list of str is wanted.
inline constexpr const char* kStrForList = "Can't extract `str` to `Vec`";
// A number beyond 32 bits.
inline constexpr const char* kOutOfRange = "out of range integral type conversion attempted";
// The TypeError of an object of the wrong type: its type's qualified name, then
// the target, one of the names below.
inline constexpr const char* kTypeMismatch = "'%U' object cannot be converted to '%s'";
inline constexpr const char* kStrTarget = "PyString";
inline constexpr const char* kSequenceTarget = "Sequence";
inline constexpr const char* kListTarget = "PyList";
inline constexpr const char* kVersionTarget = "Version";
// What stands for a type's qualified name that cannot be read.
inline constexpr const char* kUnnamedType = "<failed to extract type name>";

// A constructor of a kind class given positional and keyword arguments together.
inline constexpr const char* kArgsAndKwargs = "Constructor expects *args or **kwargs, but not both";
// A constructor given no argument, or Version's given two or more; the class's name.
inline constexpr const char* kRequiresArguments = "%s() requires arguments";
// Version's constructor given a keyword: its name.
inline constexpr const char* kVersionKeyword =
    "Version.__new__() got an unexpected keyword argument '%U'";
// A constructor's argument of no type it takes: the class's name, then the
// argument type's name.
inline constexpr const char* kCannotConstruct = "Cannot construct %s from type '%U'";
// A Version of another kind given to a kind class's constructor, before and
// after the kind class's name, then the Version's debug form.
inline constexpr const char* kExpectedKind = "Expected ";
inline constexpr const char* kExpectedKindFound = "; found ";
// The keyword form of a kind class: a required keyword missing, SemVer's and
// the others', and a key it does not know with the class's name.
inline constexpr const char* kMissingKeyword = "Missing required keyword argument '%s'";
inline constexpr const char* kInvalidInput = "invalid input to argument '%s'";
inline constexpr const char* kInvalidKeyword = "'%U' is an invalid keyword argument for %s()";
// object.__new__ called on a class: its module and qualified name.
inline constexpr const char* kCannotCreate = "cannot create '%U.%U' instances";

// test_function's binding of its one parameter.
inline constexpr const char* kTestFunctionPositional =
    "test_function() takes 1 positional arguments but %zd were given";
inline constexpr const char* kTestFunctionKeyword =
    "test_function() got an unexpected keyword argument '%U'";
inline constexpr const char* kTestFunctionTwice =
    "test_function() got multiple values for argument 'version'";
inline constexpr const char* kTestFunctionMissing =
    "test_function() missing 1 required positional argument: 'version'";
// A property deleted.
inline constexpr const char* kCannotDelete = "can't delete attribute";
// A TypeError raised while converting a named argument, remade with the
// argument's name before its message.
inline constexpr const char* kArgumentError = "argument '%s': %U";
// The line test_function writes, before the version's text.
inline constexpr std::string_view kGotVersion = "Got version: ";
// Any C++ exception but a failed allocation, as the SystemError it becomes.
inline constexpr const char* kInternalError = "unexpected internal error in tolvi";

// The errors of a bad pickle, given to the reconstructor.
// The count of arguments given.
inline constexpr const char* kWrongArgumentCount =
    "_reconstruct() takes 1, 2 or 6 arguments (%zd given)";
// The kind code, then the count of arguments given.
inline constexpr const char* kWrongFieldCount =
    "_reconstruct() takes 2 arguments for kind code %u (%zd given)";
inline constexpr const char* kUnknownKindCode = "_reconstruct() got an unknown kind code: %u";
// The class whose grammar failed, then the repr of the text.
inline constexpr const char* kUnparsedText = "_reconstruct() got %s text that does not parse: %U";
// The reconstructor's name.
inline constexpr const char* kKeywordsRefused = "tolvi.%U() takes no keyword arguments";

// An import from a second interpreter, before a web link.
inline constexpr const char* kSubinterpretersRefused =
    "PyO3 modules do not yet support subinterpreters, see "
    "https://docs.python.org/3/c-api/init.html#sub-interpreter-support";
// The abi3 module imported by a free-threaded interpreter, whose objects it
// cannot read: the interpreter's major and minor version, for the tag of the
// wheel to install.
inline constexpr const char* kFreeThreadedRefused =
    "this tolvi module is built for the stable ABI (abi3), which a free-threaded CPython "
    "cannot load; install tolvi's wheel for this interpreter, tagged cp%d%dt";
// The interpreter's identifier unavailable with no error of its own.
inline constexpr const char* kNoExceptionSet = "attempted to fetch exception but none was set";

} // namespace tolvi::py::fixed
