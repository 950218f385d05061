function fig = example_figure(file, position)
% fig = example_figure(file, position): a hidden figure, at position
% [left bottom width height] in pixels, for an example to draw and print to
% file; or [] where no graphics can be had, after one line saying that the
% figure was skipped and why. A missing figure is no failure: each example
% computes and checks its numbers first, so it still prints them and ends
% without an error. Every example draws its figure this way:
%
%   fig = example_figure('tv_denoise.png', [0 0 640 500]);
%   if ~isempty(fig)
%     plot(...);
%     print(fig, '-dpng', '-r72', 'tv_denoise.png');
%     close(fig);
%     fprintf('  figure: tv_denoise.png\n');
%   end
%
% run() changes to the example's folder, where this file is found.
  fig = [];
  if exist('OCTAVE_VERSION', 'builtin') && ~isguirunning()
    % Outside its GUI Octave draws hidden figures with gnuplot, which it
    % offers only where the gnuplot program is installed.
    if ~any(strcmp(available_graphics_toolkits(), 'gnuplot'))
      fprintf('  figure: %s skipped: Octave finds no gnuplot program to draw it with\n', file);
      return;
    end
    warning('off', 'Octave:gnuplot-graphics');
    graphics_toolkit('gnuplot');
  end
  try
    fig = figure('visible', 'off', 'position', position);
  catch err
    % MATLAB started without Java (-nojvm) has no figures, for one.
    fprintf('  figure: %s skipped: %s\n', file, regexprep(err.message, '\s+', ' '));
  end
end
