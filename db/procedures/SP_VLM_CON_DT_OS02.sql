-- params: Ordem_Servico_ID
-- The dates a closing of the order is checked against. The closing compares
-- dates as yyyy/mm/dd texts, so data_emissao and DATA_PERMITIDA come in that
-- form; the two dd/mm/yyyy columns are for its messages. DATA_PERMITIDA is the
-- earliest day the work may have started: the issue day less the tolerance.
-- An unknown order answers no row.
SELECT substr(os.DATA_EMISSAO, 1, 10)                                  AS data_emissao,
       os.DIAS_TOLERANCIA                                              AS DIAS,
       strftime('%Y/%m/%d', replace(substr(os.DATA_EMISSAO, 1, 10), '/', '-'),
                -os.DIAS_TOLERANCIA || ' days')                        AS DATA_PERMITIDA,
       substr(os.DATA_EMISSAO, 9, 2) || '/' || substr(os.DATA_EMISSAO, 6, 2) || '/' ||
         substr(os.DATA_EMISSAO, 1, 4)                                 AS data_emissao_tela,
       strftime('%d/%m/%Y', 'now', 'localtime')                        AS DATA_ATUAL
  FROM ORDEM_SERVICO os
 WHERE os.ORDEM_SERVICO_ID = :Ordem_Servico_ID;
