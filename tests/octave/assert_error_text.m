function assert_error_text(f, module, text, results)
% Calls f, asking for `results` results (default none), and checks that it
% fails with exactly the module's error text. Octave puts "<module>: " in
% front of a MEX error text; the rest must be the module's own text,
% character for character.
  if nargin < 4
    results = 0;
  end
  try
    if results == 0
      f();
    else
      out = cell(1, results);
      [out{:}] = f();
    end
  catch err
    expected = [module ': ' text];
    if !strcmp(err.message, expected)
      error('assert_error_text: expected error "%s", got "%s"', expected, err.message);
    end
    return;
  end
  error('assert_error_text: expected error "%s", but the call succeeded', text);
end
