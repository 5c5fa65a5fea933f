object frmMain: TfrmMain
  Left = 296
  Top = 176
  Width = 412
  Height = 358
  Caption = 'VQZ To Image'
  ClientWidth = 396
  ClientHeight = 320
  Color = clBtnFace
  Font.Charset = ANSI_CHARSET
  Font.Color = clWindowText
  Font.Height = -12
  Font.Name = #23435#20307
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 12
  object Image1: TImage
    Left = 8
    Top = 40
    Width = 377
    Height = 273
    Anchors = [akLeft, akTop, akRight, akBottom]
  end
  object BtnOpen: TButton
    Left = 8
    Top = 8
    Width = 105
    Height = 25
    Caption = 'OpenVqzFile'
    TabOrder = 0
    OnClick = BtnOpenClick
  end
  object OpenDialog: TOpenDialog
    Filter = 'vqz File|*.vqz'
  end
  object XPManifest1: TXPManifest
  end
end
